#!/bin/sh
# The key wait of velmora.exe in a Windows console: wine's console in a tmux pane,
# answered with keys sent to the pane and judged by the text on its screen (wine
# redraws the screen with escape sequences, so its bytes are not compared).
#   console_key_wait.sh velmora.exe letter|arrow_key|typed_ahead|output_to_file|output_to_nul
# Under wine the console's keys reach a program only when its standard input is the
# console too, so the calculation is typed into the pane as well. With its output in a
# file, or in NUL (which a test for a character device takes for a console), the
# program must end without waiting.
set -eu
program=$1
key_case=$2

work=$(mktemp -d)
socket=velmora-console-$$
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

screen() {
    tmux -L "$socket" capture-pane -p
}

fail() {
    echo "FAIL ($key_case): $*" >&2
    echo "--- the screen:" >&2
    screen >&2 || true
    exit 1
}

# Polls until the condition command succeeds; fails, naming what, after 60 seconds.
wait_until() {
    what=$1
    shift
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -lt 600 ] || fail "never: $what"
        sleep 0.1
    done
}

shows() {
    screen | grep -qF -- "$1"
}

# True once the terminal no longer edits lines itself: wine's console has taken it over.
console_owns() {
    stty -F "$1" -a | grep -q -- '-icanon'
}

# The pane runs the program between two readings of the terminal's mode, and keeps
# its exit status.
case $key_case in
    output_to_file) output="> '$work/output'" ;;
    output_to_nul) output="> /dev/null" ;;
    *) output="" ;;
esac
tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 60 \
    "stty -g > '$work/before'; wine '$program' $output; echo \$? > '$work/status'; stty -g > '$work/after'; sleep 600"

case $key_case in
    output_to_*)
        # Nothing to see: the answers are typed once wine's console has the terminal in
        # its own mode, so that they reach the console's input as keys.
        pane_terminal=$(tmux -L "$socket" display-message -p '#{pane_tty}')
        wait_until "wine's console in charge of the terminal" console_owns "$pane_terminal"
        tmux -L "$socket" send-keys "12 100 2" Enter
        wait_until "the end of the program, with no key pressed" test -s "$work/after"
        [ "$(cat "$work/status")" = 1 ] || fail "exit status $(cat "$work/status"), not 1"
        cmp -s "$work/before" "$work/after" || fail "the terminal's mode was not put back"
        if [ "$key_case" = output_to_file ]; then
            grep -qF "Press any key to exit" "$work/output" || fail "no closing message in the file"
        fi
        echo "no key wait with the output elsewhere ($key_case): status 1"
        exit 0
        ;;
esac

wait_until "the first prompt" shows "Enter the starting point (inch):"
case $key_case in
    typed_ahead) tmux -L "$socket" send-keys "12 100 2" Enter "zz" ;;
    *) tmux -L "$socket" send-keys "12 100 2" Enter ;;
esac
wait_until "the closing message" shows "Press any key to exit"

# Without the wait, or with the keys typed ahead taken for the key, the program would
# end at once; a second is far longer than that takes under wine.
sleep 1
[ ! -e "$work/status" ] || fail "the program ended without a key pressed"

case $key_case in
    arrow_key) tmux -L "$socket" send-keys Up ;;
    *) tmux -L "$socket" send-keys x ;;
esac
wait_until "the end of the program" test -s "$work/after"

[ "$(cat "$work/status")" = 1 ] || fail "exit status $(cat "$work/status"), not 1"
cmp -s "$work/before" "$work/after" || fail "the terminal's mode was not put back"
screen | grep -qxF "   0.765   0.104" || fail "no result line"
screen | grep -qxF "   0.136 remaining ratio" || fail "no remaining ratio"
if screen | sed -n '/Press any key to exit/,$p' | tail -n +2 | grep -q '[^[:space:]]'; then
    fail "something was shown after the closing message: the key was echoed"
fi
echo "key wait in a console ($key_case): ended by the key, status 1, mode put back"
