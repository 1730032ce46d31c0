# Sourced by the launcher's install checks.
# install_suite BUILD-DIR PREFIX LOG: `cmake --install` of the build tree into PREFIX. When a
# program of the tree is not built yet the whole install stops at it; then each folder is
# installed on its own so that the rest of the suite is still laid out (a note names the
# folders that failed). Returns non-zero only when nothing could be installed.
install_suite() {
  local build="$1" prefix="$2" log="$3" script folder ok=0
  if cmake --install "$build" --prefix "$prefix" >"$log" 2>&1; then return 0; fi
  echo "note: cmake --install stopped (a program is not built?); installing folder by folder"
  for script in "$build"/*/cmake_install.cmake; do
    folder="$(basename "$(dirname "$script")")"
    if cmake -DCMAKE_INSTALL_PREFIX="$prefix" -P "$script" >>"$log" 2>&1; then
      ok=1
    else
      echo "note: folder $folder is not installed: $(grep -m1 -o 'file INSTALL cannot find.*' "$log" | tail -1)"
    fi
  done
  [ "$ok" -eq 1 ]
}
