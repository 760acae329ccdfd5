#!/usr/bin/env bash
# The demo: the real program in a throw-away profile, with a POP3 server of its
# own (Dovecot on a free loopback port) holding three sample messages, and,
# when there is no display, a virtual one (Xvfb). The program's clock starts a
# few seconds before the full hour, so the character says the time at once and
# then checks the mailbox and announces the messages.
#
# It prints each sentence as it is spoken, and saves what the program said, one
# WAV file per sentence as its voice recorded it (TALVORO_AUDIO's "+wav:"), and
# screenshots of the character speaking in a folder it names at the end. On a virtual display nothing is heard; on a desktop the
# character speaks aloud. Every process it starts is stopped when it ends,
# however it ends.
#
#   scripts/demo.sh            on the current display, or a virtual one without
#   scripts/demo.sh --virtual  on a virtual display even on a desktop
#
# Environment: TALVORO_DEMO_OUT=DIR keeps the results in DIR (default: a new
# folder under /tmp); TALVORO_DEMO_NO_BUILD=1 uses the program already built;
# TALVORO_DEMO_PROGRAM=PATH runs another copy of the program (for example the
# installed /usr/bin/talvoro) and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
source_root=$PWD

virtual=0
[[ "${1:-}" == "--virtual" ]] && virtual=1
[[ -z "${DISPLAY:-}" ]] && virtual=1 # a Wayland-only session has no X11 for the character

python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3

if [[ -n "${TALVORO_DEMO_PROGRAM:-}" ]]; then
    TALVORO_DEMO_NO_BUILD=1
fi
if [[ "${TALVORO_DEMO_NO_BUILD:-0}" != 1 ]]; then
    scripts/install-deps.sh
    echo "Building Talvoro..."
    build_log=$(mktemp /tmp/talvoro-build.XXXXXX)
    if ! { cmake --preset default -DTALVORO_BUILD_TESTS=OFF &&
        cmake --build --preset default --target talvoro; } >"$build_log" 2>&1; then
        cat "$build_log" >&2
        rm -f "$build_log"
        exit 1
    fi
    rm -f "$build_log"
fi
program=${TALVORO_DEMO_PROGRAM:-$source_root/build/default/src/app/talvoro}
[[ -x $program ]] || { echo "demo: $program is not built" >&2; exit 1; }

# Everything the demo writes, except its results, lives here. Dovecot's socket
# paths must stay short, and its processes must reach the mail folders.
work=$(mktemp -d /tmp/tvdemo.XXXXXX)
chmod 755 "$work"
out=${TALVORO_DEMO_OUT:-$(mktemp -d /tmp/talvoro-demo.XXXXXX)}
mkdir -p "$out"
rm -f "$out"/*.wav "$out"/*.png "$out"/sentences.txt

pids=()       # processes started in the background, stopped at the end
dovecot_pid=  # Dovecot's master runs in a process group of its own
talvoro_pid=
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n $talvoro_pid ]] && kill -0 "$talvoro_pid" 2>/dev/null; then
        kill -TERM "$talvoro_pid" 2>/dev/null || true
        for _ in $(seq 100); do kill -0 "$talvoro_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$talvoro_pid" 2>/dev/null || true
    fi
    [[ -n $dovecot_pid ]] && kill -KILL -- "-$dovecot_pid" 2>/dev/null || true
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "demo: $*" >&2
    for log in "$work/dovecot.log" "$work/talvoro.err"; do
        [[ -s $log ]] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

demo_start=$(date +%s)

# --- the display -------------------------------------------------------------
if [[ $virtual == 1 ]]; then
    echo "No X11 display in use: running the demo on a virtual display (Xvfb)."
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 100 test -s "$work/display" || fail "the virtual display did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
    unset WAYLAND_DISPLAY
    openbox --sm-disable >/dev/null 2>&1 &
    pids+=($!)
    trayer --edge bottom --align right --widthtype request --height 28 --transparent false \
        --tint 0x404850 >/dev/null 2>&1 &
    pids+=($!)
else
    echo "Running the demo on display $DISPLAY, in real windows."
fi

# --- the POP3 server -----------------------------------------------------------
port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mail_uid=$(id -u)
mail_gid=$(id -g)
extra=
if [[ $mail_uid == 0 ]]; then
    mail_uid=65534 # mail processes may not run as root
    mail_gid=65534
else
    extra="default_internal_user = $(id -un)
default_login_user = $(id -un)
default_internal_group = $(id -gn)
first_valid_uid = $mail_uid
service pop3-login {
  chroot =
}"
fi
mkdir -p "$work/run" "$work/state" "$work/home/demo/Maildir/"{cur,new,tmp}
echo "demo:{PLAIN}demo-password" >"$work/passwd"
cat >"$work/dovecot.conf" <<EOF
base_dir = $work/run
state_dir = $work/state
log_path = $work/dovecot.log
listen = 127.0.0.1
protocols = pop3
ssl = no
mail_location = maildir:~/Maildir
mail_fsync = never
auth_failure_delay = 0
passdb {
  driver = passwd-file
  args = scheme=PLAIN $work/passwd
}
userdb {
  driver = static
  args = uid=$mail_uid gid=$mail_gid home=$work/home/%u
}
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
$([[ $(id -u) != 0 ]] && echo "  chroot =")
}
service pop3-login {
  inet_listener pop3 {
    port = $port
  }
  inet_listener pop3s {
    port = 0
  }
}
$extra
EOF

# Three sample messages; the second one's sender and subject are encoded
# words, as a mail program writes non-ASCII headers.
message() { # FILE FROM SUBJECT ID
    printf 'From: %s\nTo: demo@example.org\nSubject: %s\nMessage-ID: <%s@example.org>\nDate: Wed, 9 Dec 2026 09:%s:00 +0000\n\nHello from the Talvoro demo.\n' \
        "$2" "$3" "$4" "$5" >"$work/home/demo/Maildir/cur/$1"
}
message 0001.demo:2, "Anna Schmidt <anna@example.org>" "Lunch on Friday?" demo1 10
message 0002.demo:2, "=?UTF-8?Q?Jos=C3=A9_Mart=C3=ADnez?= <jose@example.org>" \
    "=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=" demo2 20
message 0003.demo:2, "Build Server <ci@example.org>" "Nightly build passed" demo3 30
if [[ $(id -u) == 0 ]]; then chown -R "$mail_uid:$mail_gid" "$work/home"; fi

setsid dovecot -F -c "$work/dovecot.conf" >"$work/dovecot.out" 2>&1 &
dovecot_pid=$!
greets() {
    local line
    line=$( (exec 3<>"/dev/tcp/127.0.0.1/$port" && read -r -t 2 -u 3 reply && echo "$reply") 2>/dev/null) &&
        [[ $line == +OK* ]]
}
wait_for 150 greets || fail "Dovecot did not start"
echo "A POP3 server (Dovecot) runs on 127.0.0.1:$port with 3 messages for \"demo\"."

# --- the profile ---------------------------------------------------------------
export HOME=$work/profile
export XDG_CONFIG_HOME=$HOME/.config XDG_STATE_HOME=$HOME/.local/state \
    XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache XDG_RUNTIME_DIR=$work/xdg-run
mkdir -p "$XDG_CONFIG_HOME/talvoro" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The settings as the setup wizard would leave them; the password stored
# scrambled, as the program stores it.
"$python" - "$XDG_CONFIG_HOME/talvoro/registry.reg" "$port" <<'EOF'
import sys
key = b"zokaWWDu6"
total = sum(key)
def rotate(value, amount):
    r = abs(amount) % 8
    if amount < 0:
        return ((value << r) | (value >> (8 - r))) & 0xFF if r else value
    return ((value >> r) | (value << (8 - r))) & 0xFF if r else value
def scramble(text):
    return bytes(rotate(c, (k + total) if p % 2 else -(k + total))
                 for p, c, k in ((i + 1, c, key[i % 9]) for i, c in enumerate(text)))
def reg(data):
    out = ""
    for b in data:
        out += ("\\" + chr(b)) if chr(b) in '\\"' else chr(b) if 32 <= b < 127 else "\\x%02X" % b
    return '"' + out + '"'
values = {
    "CheckBoxEnableEmailCheck": b"1", "CheckInterval": b"2", "RadioGroupSayTimeInterval": b"0",
    "RadioGroupInternetConnection": b"1", "EditPOP3Server": b"127.0.0.1",
    "EditPOP3Port": sys.argv[2].encode(), "EditPOP3Account": b"demo",
    "EditPOP3Password": scramble(b"demo-password"), "FileComboBoxAgent": b"Genie.acs",
}
root = "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\"
with open(sys.argv[1], "w", newline="") as f:
    f.write("Windows Registry Editor Version 5.00\r\n\r\n")
    f.write(root + "Wizard]\r\n\"Visible\"=\"0\"\r\n\r\n" + root + "Settings]\r\n")
    for name, data in values.items():
        f.write('"%s"=%s\r\n' % (name, reg(data)))
    f.write("\r\n")
EOF

# --- the program ---------------------------------------------------------------
# The program's clock starts five seconds before the coming full hour: at the
# full hour it says the time, and, the minute being even, checks the mailbox
# (every second minute: not at the odd minute it starts in).
fake_start=$(date -d "@$(( ($(date +%s) / 3600 + 1) * 3600 - 5 ))" '+%Y-%m-%d %H:%M:%S')
agent_log=$work/agent.log
# On a virtual display nothing is heard, but speech keeps its natural pace, so
# the balloon follows the words as it would on a desktop. Either way the voice
# also writes what it says to a WAV file per sentence.
audio=${TALVORO_AUDIO:-}
[[ $virtual == 1 ]] && audio=silent
voice=$work/voice
FAKETIME="@$fake_start" LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 \
    TALVORO_AUDIO="$audio+wav:$voice" TALVORO_AGENT_LOG="$agent_log" QT_QPA_PLATFORM=xcb \
    "$program" >"$work/talvoro.out" 2>"$work/talvoro.err" &
talvoro_pid=$!
echo "Talvoro runs (its clock set to $fake_start); the character speaks shortly."
echo

# A screenshot a moment into a sentence, when the balloon shows its first
# words (the balloon reveals them as they are spoken). The voice begins its
# recording of the sentence as it begins to speak it.
recordings() { local files=("$voice"/*.wav); [[ -e ${files[0]} ]] && echo ${#files[@]} || echo 0; }
shot() { # FILE SENTENCE-NUMBER SECONDS-INTO-THE-SENTENCE
    local number=$2
    voice_began() { (($(recordings) >= number)); }
    wait_for 300 voice_began || true
    sleep "$3"
    local area
    area=$(talvoro_area) || area=
    import -window root ${area:+-crop "$area"} "$out/$1" 2>/dev/null ||
        echo "(no screenshot: import failed)"
}
# The part of the screen that Talvoro's shown windows cover (main window,
# character, balloon; not the tray icon), with a margin: WxH+X+Y.
talvoro_area() {
    local id x0=99999 y0=99999 x1=0 y1=0 info w h x y
    while read -r id; do
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        [[ $info == *"Map State: IsViewable"* ]] || continue
        x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
        y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
        w=$(sed -n 's/.*Width: *//p' <<<"$info")
        h=$(sed -n 's/.*Height: *//p' <<<"$info")
        ((w >= 48 && h >= 48)) || continue
        ((x < x0)) && x0=$x
        ((y < y0)) && y0=$y
        ((x + w > x1)) && x1=$((x + w))
        ((y + h > y1)) && y1=$((y + h))
    done < <(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) .*("talvoro" "Talvoro").*/\1/p')
    ((x1 > x0)) || return 1
    x0=$((x0 > 24 ? x0 - 24 : 0))
    y0=$((y0 > 24 ? y0 - 24 : 0))
    echo "$((x1 - x0 + 24))x$((y1 - y0 + 24))+$x0+$y0"
}

# Prints each sentence as the character starts to say it (without its speech
# markup), until the character has said all four and gone.
helpers=()
spoken=0
seen=0
gone=0
deadline=$(($(date +%s) + 50))
while ((spoken < 4 || !gone)); do
    kill -0 "$talvoro_pid" 2>/dev/null || fail "Talvoro ended early"
    (($(date +%s) < deadline)) || fail "the character did not say everything within 50 seconds"
    if [[ -f $agent_log ]]; then
        mapfile -t lines < <(tail -n +"$((seen + 1))" "$agent_log")
        for line in "${lines[@]}"; do
            seen=$((seen + 1))
            [[ $line == hide* && $spoken == 4 ]] && gone=1
            [[ $line == "speak "* ]] || continue
            spoken=$((spoken + 1))
            sentence=$(printf '%s' "${line#speak }" | sed -e 's/\\[A-Za-z]*=[^\\]*\\//g' -e 's/  */ /g')
            echo "  \"$sentence\""
            echo "$sentence" >>"$out/sentences.txt"
            case $spoken in
            1) shot speaking-the-time.png 1 1 & helpers+=($!) ;;
            2) shot announcing-mail.png 2 3 & helpers+=($!) ;;
            esac
        done
    fi
    sleep 0.1
done
wait "${helpers[@]}"
kill -TERM "$talvoro_pid"
stopped() { ! kill -0 "$talvoro_pid" 2>/dev/null; }
wait_for 100 stopped || true

# The voice's recordings, numbered in the order they were spoken (their names
# end in the voice's own count).
recorded=0
if [[ -d $voice ]]; then
    while read -r wav; do
        recorded=$((recorded + 1))
        cp "$voice/$wav" "$(printf '%s/%d-sentence.wav' "$out" "$recorded")"
    done < <(cd "$voice" && ls -1 -- *.wav 2>/dev/null | sort -t- -k5,5n)
fi
((recorded == spoken)) || echo "(the voice recorded $recorded sentences of $spoken)"

echo
echo "The demo took $(($(date +%s) - demo_start)) seconds. Its results are in $out:"
(cd "$out" && ls -1 | sed 's/^/  /')
