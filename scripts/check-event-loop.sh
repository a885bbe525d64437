#!/usr/bin/env bash
# Every pass of the event loop that the program makes goes through the clock's
# door in platform/time, so that whatever listens there hears them all; modal
# boxes run their loops only in the dialog services, which tell the door as a
# box comes up. Fails naming each file and line of the program's own code that
# runs the loop some other way. Tests, their helpers and the benchmarks drive
# the loop as they need.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r f; do
    case "$f" in
        platform/time/* | testing/* | bench/* | */tests/*) continue ;;
    esac
    # The dialog services run the boxes; main() runs the program's own loop.
    case "$f" in
        platform/os/Dialogs.cpp | platform/drivers/DriverChooser.cpp | app/main.cpp) box=0 ;;
        *) box=1 ;;
    esac
    # Comments aside: a line's text before any "//".
    if ! awk -v file="$f" -v box="$box" '
        {
            code = $0
            sub(/\/\/.*/, "", code)
            if (code ~ /(^|[^A-Za-z0-9_])(processEvents|QEventLoop)([^A-Za-z0-9_]|$)/ ||
                (box && code ~ /((\.|->|::)exec\(|Q(Input|File|Color|Font)Dialog::get|QMessageBox::(warning|information|critical|question|about))/)) {
                printf "%s:%d: %s\n", file, NR, $0
                bad = 1
            }
        }
        END { exit bad }' "$f"; then
        status=1
    fi
done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | sort -u)
if [ "$status" -ne 0 ]; then
    echo "The event loop is run outside the clock's door (platform/time): use" >&2
    echo "platform::passEvents() or a wait on platform::clock(), and boxes through" >&2
    echo "platform::Dialogs." >&2
fi
exit "$status"
