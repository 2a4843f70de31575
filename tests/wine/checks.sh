# Case checks for end-to-end test scripts; source it. Each case prints "ok" or
# "FAIL" and counts failures in $failures, so a script reports every case
# before it fails.
failures=0

check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@" >/dev/null; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
fails() {  # fails NAME COMMAND...: the command must fail
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then echo "FAIL $name (succeeded)"; failures=$((failures + 1)); else echo "ok   $name"; fi
}
equals() {  # equals ACTUAL EXPECTED
  [ "$1" = "$2" ] || { echo "  got:      $(printf "%q" "$1")" >&2; echo "  expected: $(printf "%q" "$2")" >&2; return 1; }
}
contains() {  # contains TEXT PART
  case $1 in *"$2"*) return 0 ;; esac
  echo "  '$2' is not in: $1" >&2
  return 1
}
