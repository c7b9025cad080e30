# Checks shared by the Wine window tests: counted failures, pixels of a
# screenshot, and the program's window found by its caption.
# shellcheck shell=sh
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() {  # what expected actual
  if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: expected '$2', got '$3'"; fi
}
pixel() {  # image x y -> r,g,b
  convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}
window_ids() { xdotool search --name '^Trivexa( |$)' 2>/dev/null; }
wait_for_window() {  # prints the first window's id; fails after 60 s
  for _ in $(seq 120); do
    id=$(window_ids | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.5
  done
  return 1
}
