#!/usr/bin/env bash
# Checks that a finished build used no system file that the set-up does not
# install. A machine that has more packages than a fresh one builds happily
# either way; this finds the difference.
#
#   check-packages.sh BUILD_DIR [PACKAGE_LIST_FILE]
#
# The files: the headers in the compiler's dependency files, the libraries on
# the link lines, the CMake package files that configuring read, and the shared
# libraries the built executables load. Each is mapped to its Debian package
# with dpkg -S. A package is allowed when install-deps.sh installs it (the
# list file, one name a line, when given; otherwise `install-deps.sh --list
# --tests`), when those packages depend on it (recursively, recommends and
# suggests not counted), or when every Debian system has it (priority required
# or essential). Exits 1 naming each other package and a file of it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: check-packages.sh BUILD_DIR [PACKAGE_LIST_FILE]}
[ -d "$build" ] || { echo "check-packages: no build directory $build" >&2; exit 2; }

build_dir=$(cd "$build" && pwd)
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
[ -n "$source_dir" ] || { echo "check-packages: $build is not a configured build directory" >&2; exit 2; }

if [ $# -ge 2 ]; then
  listed=$(grep -v '^\s*$' "$2")
else
  listed=$(bash "$here/install-deps.sh" --list --tests)
fi

# Absolute paths outside the source and build trees.
used_files() {
  {
    find "$build" -name '*.o.d' -exec cat {} + | tr ' \\' '\n\n'
    find "$build" -name link.txt -exec cat {} + | tr ' ' '\n'
    find "$build" -name Makefile.cmake -path '*/CMakeFiles/*' -exec grep -ho '"/[^"]*"' {} + | tr -d '"'
    find "$build" -type f -perm -u+x ! -name '*.so' ! -name '*.sh' -exec sh -c \
      'for f; do [ "$(head -c 4 "$f" | tail -c 3)" = ELF ] && ldd "$f"; done' sh {} + 2>/dev/null |
      awk '$2 == "=>" && $3 ~ /^\// {print $3} $1 ~ /^\// {print $1}'
  } | grep '^/' | sed 's/:$//' | grep -v -e "^$build_dir/" -e "^$source_dir/" | sort -u
}

# Each used file with the package that owns it, "package<TAB>file", read at
# once from dpkg's file lists. A file is looked up as given and as resolved,
# with and without the /usr prefix: Debian 12 merges /lib into /usr/lib, while
# packages may list either.
owners() {
  local work=$1 file real candidate
  while IFS= read -r file; do
    real=$(readlink -f "$file" 2>/dev/null || echo "$file")
    for candidate in "$file" "$real" "${file#/usr}" "${real#/usr}" "/usr$file" "/usr$real"; do
      printf '%s\t%s\n' "$candidate" "$file"
    done
  done <"$work/used" >"$work/candidates"
  cut -f1 "$work/candidates" | sort -u >"$work/patterns"
  grep -H -F -x -f "$work/patterns" /var/lib/dpkg/info/*.list 2>/dev/null |
    sed -e 's|^/var/lib/dpkg/info/||' -e 's|\.list:|\t|' -e 's|:[^\t]*\t|\t|' >"$work/owned"
  awk -F '\t' 'NR == FNR { owner[$2] = $1; next }
                ($1 in owner) { print owner[$1] "\t" $2 }' "$work/owned" "$work/candidates" | sort -u
}

allowed=$(
  {
    printf '%s\n' $listed
    # shellcheck disable=SC2086
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
      --no-replaces --no-enhances $listed 2>/dev/null | grep -v '^ ' | tr -d '<>'
    dpkg-query -W -f='${Package} ${Priority} ${Essential}\n' | awk '$2 == "required" || $3 == "yes" {print $1}'
  } | sed 's/:.*//' | sort -u
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
used_files | while IFS= read -r file; do [ -e "$file" ] && echo "$file"; done >"$work/used"
owners "$work" >"$work/owners"

failures=0
# Files no package owns (made by hand, or by a script outside the packages).
while IFS= read -r file; do
  echo "check-packages: $file belongs to no Debian package" >&2
  failures=$((failures + 1))
done < <(cut -f2 "$work/owners" | sort -u | comm -23 "$work/used" -)
# One line for each package that is not allowed, naming one of its files.
while IFS=$'\t' read -r package file; do
  echo "check-packages: $file comes from $package, which the set-up does not install" >&2
  failures=$((failures + 1))
done < <(sort -t $'\t' -k1,1 -u "$work/owners" |
         awk -F '\t' 'NR == FNR { ok[$1] = 1; next } !($1 in ok)' <(printf '%s\n' "$allowed") -)

checked=$(wc -l <"$work/used")
if [ "$failures" -ne 0 ]; then
  echo "check-packages: $failures problem(s) in $checked files; add the package to scripts/install-deps.sh or stop using the file" >&2
  exit 1
fi
echo "check-packages: all $checked system files the build used come from the set-up's packages"
