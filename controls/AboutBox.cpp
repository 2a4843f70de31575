// The About box (100): program icon, name and version, and the link to the
// product's page on control 1028.
#include "controls/AboutBox.h"

#include <string>

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

void ShowVersionNotice(HWND owner) {
  const std::wstring text = std::wstring(L"这是疾书精灵 版本 " KWO_VERSION_WIDE L"。\n\n"
                                         L"疾书精灵不会联网检查新版本，也不会自动更新。\n新版本发布在 ") +
                            kProductPage + L"，可以在“帮助 → 关于”中点击这个链接打开。";
  MessageBoxW(owner, text.c_str(), L"检查新版本", MB_OK | MB_ICONINFORMATION);
}

}  // namespace kwo::controls
