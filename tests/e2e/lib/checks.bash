# The checks every end-to-end script uses; tests/e2e/lib/machine.bash sources
# this too.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Polls a test for up to 60 s: what runs detached needs time to end.
eventually() {
  for _ in $(seq 600); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
