#!/usr/bin/env bash
# Checks that the library's folders include only their own headers and those
# of the layers below: platform <- model <- protocol <- location <- core <- c.
# Prints each include that points up and the matrix of which folder includes
# which; exits 1 when any include points up. The facade's public header
# counts as core, the C header as c. The C interface (c) is the top layer:
# nothing includes it.
#   scripts/check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(platform model protocol location core c)
rank() { local i; for i in "${!layers[@]}"; do [[ ${layers[$i]} == "$1" ]] && echo "$i" && return; done; echo -1; }

declare -A count=()
violations=0
for from in "${layers[@]}"; do
  for file in src/"$from"/*.cpp src/"$from"/*.h; do
    [[ -e $file ]] || continue
    while IFS= read -r target; do
      [[ -n $target ]] || continue
      count[$from,$target]=$((${count[$from,$target]:-0} + 1))
      if (($(rank "$target") > $(rank "$from"))); then
        echo "up: $file includes $target/"
        violations=$((violations + 1))
      fi
    # The facade's public header is the core layer's face, the C header the
    # C layer's.
    done < <(sed -e 's|^#include "quorvela/Quorvela.h"|#include "core/Quorvela.h"|' \
      -e 's|^#include "quorvela/quorvela_c.h"|#include "c/quorvela_c.h"|' "$file" |
      sed -n 's|^#include "\([a-z]*\)/.*"|\1|p' | grep -xE "$(IFS='|'; echo "${layers[*]}")" || true)
  done
done

printf '\n%-10s' "includes:"
for to in "${layers[@]}"; do printf '%10s' "$to"; done
echo
for from in "${layers[@]}"; do
  printf '%-10s' "$from"
  for to in "${layers[@]}"; do printf '%10s' "${count[$from,$to]:-.}"; done
  echo
done
if ((violations)); then
  echo "layer check: FAIL ($violations includes point up)"
  exit 1
fi
echo "layer check: PASS"
