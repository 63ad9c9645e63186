#!/bin/bash
# Makes the pictures of the user guide (docs/images/) the way demo.sh runs
# the program: Wendlock under Wine, in Wine's virtual desktop with its
# notification area, with the Outlook stand-in serving its demo mailbox. Run
# it again whenever the tray, the menu, the Options dialog or the alert
# windows change, and commit the pictures with the change.
#
#   scripts/screenshots.sh            (on $DISPLAY if set, else on a private Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}" imagemagick

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win --target wendlock outlook-standin standin-ctl wine-keeper window-rect

WORK=$ROOT/build/screenshots
OUT=$ROOT/docs/images
rm -rf "$WORK/Wendlock" "$WORK/bin" "$WORK/raw"
mkdir -p "$WORK/Wendlock" "$WORK/bin" "$WORK/raw" "$OUT"
cp build/win/bin/wendlock.exe build/win/bin/{olico,olicod,bell,task}.ico build/win/bin/newlnks.example.ini "$WORK/Wendlock/"
cp build/win/bin/{outlook-standin,standin-ctl,wine-keeper,window-rect}.exe "$WORK/bin/"

export WINEPREFIX=$WORK/wineprefix WENDLOCK_BIN=$WORK/bin
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=${DISPLAY:-:96}
trap 'tests/wine/wine-rig.sh stop' EXIT
tests/wine/wine-rig.sh restart
tests/wine/wine-rig.sh ensure

WINE=/usr/lib/wine/wine64
CONVERT=/usr/bin/convert
ctl() { "$WINE" "$WENDLOCK_BIN/standin-ctl.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
rect() { "$WINE" "$WENDLOCK_BIN/window-rect.exe" "$1" </dev/null 2>/dev/null | tr -d '\r'; }
wait_rect() {
    local r
    for _ in $(seq 50); do r=$(rect "$1") && [ -n "$r" ] && { echo "$r"; return 0; }; sleep 0.2; done
    echo "screenshots: no window '$1'" >&2
    return 1
}
grab() { import -window root "$WORK/raw/$1.png"; }
# crop NAME X Y W H [MARGIN]: a part of the last grab, with a margin around it.
crop() {
    local name=$1 x=$2 y=$3 w=$4 h=$5 m=${6:-8}
    read -r sw sh < <(xdotool getdisplaygeometry)
    local x0=$((x - m < 0 ? 0 : x - m)) y0=$((y - m < 0 ? 0 : y - m))
    local x1=$((x + w + m > sw ? sw : x + w + m)) y1=$((y + h + m > sh ? sh : y + h + m))
    "$CONVERT" "$WORK/raw/$name.png" -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage -strip "$OUT/$name.png"
    echo "   docs/images/$name.png"
}
read -r WIDTH HEIGHT < <(xdotool getdisplaygeometry)
# Debian's Wine 8 does not find its own Marlett font, and the caption buttons
# of the windows would show letters instead of their symbols.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# Tray icons sit right to left in the order they came: Outlook, tasks, bell.
OUTLOOK_ICON_X=$((WIDTH - 11)) BELL_ICON_X=$((WIDTH - 51)) ICON_Y=$((HEIGHT - 10))
# A balloon is a tooltip window; wait until none shows.
no_balloon() { for _ in $(seq 100); do rect tooltips_class32 >/dev/null || return 0; sleep 0.3; done; }
# The reminder card: the one dialog up with no title, at the bottom right.
card_rect() {
    local r
    for _ in $(seq 50); do
        r=$(rect '#32770') && read -r cx cy cw ch <<<"$r" && [ $((cx + cw)) -gt $((WIDTH / 2)) ] &&
            [ $((cy + ch)) -gt $((HEIGHT / 2)) ] && { echo "$r"; return 0; }
        sleep 0.2
    done
    echo "screenshots: no reminder card" >&2
    return 1
}

echo "== Wendlock starts with the stand-in's demo mailbox (overdue tasks)"
setsid "$WINE" "$WORK/Wendlock/wendlock.exe" </dev/null >/dev/null 2>&1 9>&- &
for _ in $(seq 100); do ctl ping | grep -q '^ok' && break; sleep 0.2; done
sleep 4
no_balloon

echo "== the menu"
xdotool mousemove "$OUTLOOK_ICON_X" "$ICON_Y" click 3
read -r x y w h < <(wait_rect '#32768')
# The pointer on Show Outlook, the default item (100 px above the menu's bottom).
xdotool mousemove $((x + 50)) $((y + h - 100))
sleep 0.8
grab tray-menu
crop tray-menu "$x" "$y" $((WIDTH - x)) $((HEIGHT - y))
xdotool key Escape
sleep 0.5

# options_picture NAME: Options opened from the menu as the user opens it, grabbed and closed.
options_picture() {
    xdotool mousemove "$OUTLOOK_ICON_X" "$ICON_Y" click 3
    read -r x y w h < <(wait_rect '#32768')
    xdotool mousemove $((x + 50)) $((y + h - 52)) sleep 0.3 click 1
    read -r x y w h < <(wait_rect Wendlock)
    xdotool mousemove 10 10
    sleep 0.8
    grab "$1"
    crop "$1" "$x" "$y" "$w" "$h"
    xdotool key Escape
}

echo "== Options"
options_picture options
sleep 0.5

echo "== two reminders: the bell and its notification"
REMINDERS=()
for subject in "Project review with Klaus" "Call the printer about the brochure"; do
    id=$(ctl add folder=Calendar "subject=$subject" reminder=now | sed -n 's/^ok //p')
    ctl fire-reminder "$id" >/dev/null
    REMINDERS+=("$id")
done
# The card comes with them; its close box hides it, off the notification.
read -r x y w h < <(card_rect)
xdotool mousemove $((x + w - 10)) $((y + 8)) click 1 mousemove 10 10
read -r x y w h < <(wait_rect tooltips_class32)
sleep 1
grab tray-balloon
crop tray-balloon "$x" "$y" $((WIDTH - x)) $((HEIGHT - y))
no_balloon

echo "== the reminder card over another program, the pointer on Join"
NOTES=$WORK/raw/meeting-notes.txt
sed 's/$/\r/' >"$NOTES" <<'TEXT'
Brochure, spring edition: notes of the call with the printer

Present: Klaus (print shop), Anna, Tom

1. Paper
   - cover on 300 g matt, inner pages on 150 g matt, as in the autumn edition
   - the printer sends a sample sheet of both by Thursday
2. Proofs
   - first proofs of pages 1-16 by Wednesday noon, pages 17-32 by Friday
   - colours checked against the sample sheet, not on screen
   - corrections in one PDF with comments, one round only
3. Quantities
   - 5,000 in German, 2,000 in English, 500 in French
   - the French run may move to the summer if the translation is late
4. Delivery
   - to the warehouse in two parts: half on the 3rd, half on the 10th
   - pallets no higher than 1.2 m (the warehouse door)
5. Costs
   - the offer of last week stands; the French run priced apart
   - a second proof round would cost extra: avoid it

To do
   - Anna: final texts of pages 17-32 to the printer by Monday
   - Tom: pictures of the new shop in print resolution
   - Klaus: sample sheet and a date for the press check
TEXT
setsid "$WINE" start /max notepad.exe "$("$WINE" winepath -w "$NOTES" 2>/dev/null)" </dev/null >/dev/null 2>&1 9>&- &
wait_rect "meeting-notes.txt - Notepad" >/dev/null
# At work in it: a click at the end of the notes.
xdotool mousemove 420 384 sleep 0.3 click 1 mousemove 10 10
sleep 1
# An invitation as Teams writes it: the link in the text, not in the location.
TEAMS="https://teams.microsoft.com/l/meetup-join/19%3ameeting_NjQ4%40thread.v2/0"
id=$(ctl add folder=Calendar "subject=Weekly sync with the design team" reminder=now start=now+5m \
         "location=Microsoft Teams Meeting" "body=Join the meeting now <$TEAMS>" | sed -n 's/^ok //p')
ctl fire-reminder "$id" >/dev/null
REMINDERS+=("$id")
# Once the bell's notification is gone, the pointer rests on the newest
# meeting's Join (its row is the first of three) until its tooltip names the host.
read -r x y w h < <(card_rect)
sleep 3
no_balloon
xdotool mousemove $((x + 1 + (w - 2) * 26 / 224)) $((y + 1 + (h - 2) * 41 / 134))
wait_rect tooltips_class32 >/dev/null
sleep 0.8
grab reminder-card
crop reminder-card 0 0 "$WIDTH" "$HEIGHT" 0
"$WINE" taskkill /f /im notepad.exe >/dev/null 2>&1 || true
xdotool mousemove 10 10
sleep 0.5

echo "== the reminders window, from the bell's menu"
xdotool mousemove "$BELL_ICON_X" "$ICON_Y" click 3
read -r x y w h < <(wait_rect '#32768')
# Show Reminders, the first item.
xdotool mousemove $((x + 40)) $((y + 10)) sleep 0.3 click 1
read -r x y w h < <(wait_rect 'Outlook Reminders')
# The meeting with a join link selected, as after a click on a line and End.
xdotool mousemove $((x + 60)) $((y + 38)) click 1 mousemove 10 10 key End
sleep 0.8
grab reminders-window
crop reminders-window "$x" "$y" "$w" "$h"
xdotool key Escape
sleep 0.5

echo "== Options with settings managed by Group Policy"
# Dismissed in Outlook, the reminders bring no card at the next start to stand beside Options.
for id in "${REMINDERS[@]}"; do ctl dismiss "$id" >/dev/null; done
"$WINE" reg add 'HKCU\Software\Policies\Wendlock' /v KeepOutlookLoaded /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Policies\Wendlock' /v StartOutlookIn /t REG_DWORD /d 9 /f >/dev/null 2>&1
# The policies are read at start: the program starts again.
"$WINE" taskkill /f /im wendlock.exe >/dev/null 2>&1 || true
sleep 2
setsid "$WINE" "$WORK/Wendlock/wendlock.exe" </dev/null >/dev/null 2>&1 9>&- &
sleep 5
no_balloon
options_picture options-policy
"$WINE" reg delete 'HKCU\Software\Policies\Wendlock' /f >/dev/null 2>&1 || true
