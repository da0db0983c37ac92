# What a test script sources to end: skip (exit 77, a skipped test, with the reason) or fail.
# expect_arguments COUNT USAGE "$@" stops a script called with the wrong number of arguments.
skip() {
  echo "skipped: $*" >&2
  exit 77
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
expect_arguments() {
  local count=$1 usage=$2
  shift 2
  if [ $# -ne "$count" ]; then
    echo "usage: $0 $usage" >&2
    exit 2
  fi
}
