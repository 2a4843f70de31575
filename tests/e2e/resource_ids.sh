# The control and command ids of res/resource.h as shell variables
# (IDC_SHORTKEY, ID_OPTIONS, ...), from the file the Windows build writes:
# BUILD/res/kwo_ids.sh (tests/e2e/CMakeLists.txt). Source it after setting
# WH_DRIVER to the driver of that build, or set KWO_IDS to the file.
kwo_load_ids() {
  local ids=${KWO_IDS:-$(dirname "${WH_DRIVER:?WH_DRIVER names the driver of the Windows build}")/../../res/kwo_ids.sh}
  # shellcheck source=/dev/null
  source "$ids" 2>/dev/null || { echo "no resource ids at $ids: build the target kwo_ids" >&2; return 1; }
  [ -n "${IDC_SHORTKEY:-}" ] || { echo "$ids holds no resource ids" >&2; return 1; }
}
