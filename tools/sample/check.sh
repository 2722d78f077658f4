#!/usr/bin/env bash
# check.sh BUILD_DIR: fails unless the sample server tree was laid out by the build (target "sample").
set -euo pipefail
root="$1/server/htdocs/zunor"
for f in Zunor2021VK.exe updater.exe firme.mdb zunorfmt.dll ZunorRes.dat SETUP_ZUNOR.rar Zunor2021VK.rar \
         SUPORT/ZunorGrid.ocx SUPORT/ZunorCalc.dll SUPORT/ZunorPrint.dll \
         TEMPLATE/Faktura.rtf TEMPLATE/Izvod.txt TEMPLATE/Kontni_plan.csv; do
    [ -s "$root/$f" ] || { echo "sample tree incomplete: $root/$f missing (build the target 'sample')" >&2; exit 1; }
done
