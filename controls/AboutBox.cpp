// The About box (100): program icon, name and version, and the link to the
// product's page on control 1028.
#include "controls/AboutBox.h"

#include "controls/UrlLabel.h"
#include "kwo_version.h"
#include "res/resource.h"
#include "ui/Dialog.h"

namespace kwo::controls {

namespace {

constexpr wchar_t kProductPage[] = L"https://kwo.example.com/";

class CAboutDlg : public kwo::ui::CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX) {
    link_.SetAddress(kProductPage);
    OnMessage(WM_CTLCOLORSTATIC, &CAboutDlg::OnCtlColorStatic);
    OnNotification(IDC_URL_LABEL, STN_CLICKED, &CAboutDlg::OnLinkClicked);
  }

 protected:
  BOOL OnInitDialog() override {
    link_.AttachTo(Item(IDC_URL_LABEL));
    SetWindowTextW(Item(IDC_VERSION_TEXT), L"疾书精灵  版本 " KWO_VERSION_WIDE);
    return TRUE;
  }

 private:
  INT_PTR OnCtlColorStatic(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) != link_.Handle()) return FALSE;
    return reinterpret_cast<INT_PTR>(link_.OnCtlColor(reinterpret_cast<HDC>(wParam)));
  }
  void OnLinkClicked() { link_.OnClicked(); }

  CUrlLabel link_;
};

}  // namespace

void ShowAboutBox(HWND owner) {
  CAboutDlg dialog;
  dialog.DoModal(owner);
}

}  // namespace kwo::controls
