# Helpers shared by the end-to-end scripts (sourced, not run).

fail() { echo "FAIL: $*"; exit 1; }

# Session journals and site data go beside the work folder, never into the
# real home.
export XDG_STATE_HOME="$PWD.state" XDG_DATA_HOME="$PWD.data"
rm -rf "$XDG_STATE_HOME" "$XDG_DATA_HOME"

# run EXPECTED_STATUS ARGS...: runs "$batch" ARGS, keeping stdout and stderr
# in out.txt and err.txt, and fails unless it exits with EXPECTED_STATUS.
run() {
  local want="$1"; shift
  "$batch" "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" = "$want" ] || { cat out.txt err.txt; fail "status $got, expected $want for: $*"; }
}

# The number of session journals left in the journal folder.
journals() { ls -A "$XDG_STATE_HOME/vantrelis" 2>/dev/null | grep -c '\.journal$'; }
