#!/usr/bin/env bash
# Each folder of the program includes only itself and the folders below it in this order, so the layers stay a
# stack and no folder reaches up. Prints every include that breaks the order; exits 1 if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(app automation game admin messages shell widgets engine richtext platform base)
status=0
for i in "${!layers[@]}"; do
    folder=${layers[$i]}
    allowed=" ${layers[*]:$i} "
    [ -d "$folder" ] || continue
    while IFS=: read -r file line text; do
        target=$(sed -E 's|.*#include "([^/"]+)/.*|\1|' <<<"$text")
        case "$allowed" in
            *" $target "*) ;;
            *) echo "$file:$line: $folder/ may not include $target/: $text"; status=1 ;;
        esac
    done < <(grep -rnE '^#include "[^/"]+/' "$folder" --include='*.cpp' --include='*.h' || true)
done
exit $status
