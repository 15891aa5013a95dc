#!/usr/bin/env bash
# Builds the command-line archiver that the installer embeds, from the source
# of Debian's `7zip` package, and copies its three files into OUTDIR:
#
#   7za.exe   standalone console archiver  (upstream CPP/7zip/Bundles/Alone)
#   7za.dll   standalone plugin library    (upstream CPP/7zip/Bundles/Format7z)
#   7zxa.dll  extract-only plugin library  (upstream CPP/7zip/Bundles/Format7zExtract)
#
# Usage: build-archiver.sh TARGET OUTDIR
#   TARGET  native   Linux x86-64 (ELF program + two ELF shared libraries,
#                    named as above so both targets look the same)
#           windows  x86-64 PE files, MinGW-w64 (posix threads), linked statically
#
# Environment:
#   VARNHOLT_ARCHIVER_CACHE          cache root (default ~/.cache/varnholt-archiver)
#   VARNHOLT_ARCHIVER_JOBS           parallel compile jobs (default 2)
#   VARNHOLT_ARCHIVER_REFRESH=1      refresh the private package lists now
#   VARNHOLT_ARCHIVER_LISTS_MAX_AGE_DAYS
#                                    refresh the private package lists when they are
#                                    older than this (default 7; 0 = only if missing)
#
# Cache layout (outside the repository):
#   <cache>/apt/                       private apt state (sources list, lists, downloads)
#   <cache>/<version>/source/          unpacked Debian source tree (patches applied)
#   <cache>/<version>/<target>/        the three built files (+ .recipe stamp)
#   <cache>/<version>/build-<target>.log   compiler log of the last build
#
# The source is fetched with `apt-get source` against a private apt state, so the
# machine's own package lists are never touched by it. Nothing is written into the
# repository; the cache is filled atomically (temp dir + rename).
set -euo pipefail

readonly PKG=7zip
readonly FILES=(7za.exe 7za.dll 7zxa.dll)

say() { printf 'archiver: %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

usage() {
  cat >&2 <<'EOF'
usage: build-archiver.sh TARGET OUTDIR
  TARGET: native | windows
EOF
  exit 2
}

[[ $# -eq 2 ]] || usage
TARGET=$1
OUTDIR=$2
case "$TARGET" in native|windows) ;; *) usage ;; esac
[[ -n "$OUTDIR" ]] || usage

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
CACHE_ROOT=${VARNHOLT_ARCHIVER_CACHE:-$HOME/.cache/varnholt-archiver}
JOBS=${VARNHOLT_ARCHIVER_JOBS:-2}
[[ "$JOBS" =~ ^[1-9][0-9]*$ ]] || die "VARNHOLT_ARCHIVER_JOBS must be a positive number"
MAX_AGE_DAYS=${VARNHOLT_ARCHIVER_LISTS_MAX_AGE_DAYS:-7}
[[ "$MAX_AGE_DAYS" =~ ^[0-9]+$ ]] || die "VARNHOLT_ARCHIVER_LISTS_MAX_AGE_DAYS must be a number"
KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg

mkdir -p "$CACHE_ROOT"
CACHE_ROOT=$(cd "$CACHE_ROOT" && pwd)
APT_DIR=$CACHE_ROOT/apt
APT_STAMP=$APT_DIR/lists.stamp
APT_OPTS=(
  -o "Dir::Etc::SourceList=$APT_DIR/sources.list"
  -o "Dir::Etc::SourceParts=$APT_DIR/sources.list.d"
  -o "Dir::Etc::PreferencesParts=$APT_DIR/preferences.d"
  -o "Dir::State::Lists=$APT_DIR/lists"
  -o "Dir::Cache=$APT_DIR/cache"
  -o "Dir::Cache::pkgcache="
  -o "Dir::Cache::srcpkgcache="
)

# ---------------------------------------------------------------------------
# Make variables per target. They are also hashed into the cache's .recipe
# stamp, so changing them (or our makefiles) rebuilds instead of reusing.
# Upstream's -Werror is dropped so a newer compiler warning cannot break us.
COMMON_MAKE_VARS=(
  "CFLAGS_WARN_WALL=-Wall -Wextra"
  "LFLAGS_STRIP=-s"
)
if [[ "$TARGET" == windows ]]; then
  TOOL_PREFIX=x86_64-w64-mingw32-
  CC_BIN=${TOOL_PREFIX}gcc-posix
  CXX_BIN=${TOOL_PREFIX}g++-posix
  OBJDUMP_BIN=${TOOL_PREFIX}objdump
  # IS_MINGW selects the Windows code paths and `-static` in 7zip_gcc.mak;
  # MY_MKDIR/RM replace its cmd.exe defaults.
  TARGET_MAKE_VARS=(
    "IS_MINGW=1" "IS_X64=1"
    "CC=$CC_BIN" "CXX=$CXX_BIN"
    "RC=${TOOL_PREFIX}windres"
    "MY_MKDIR=mkdir -p" "RM=rm -f"
  )
  EXE_LINK_EXTRA=""
  LIB_LINK_EXTRA=""
  EXPECTED_FORMAT=pei-x86-64
  TOOL_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
else
  CC_BIN=gcc
  CXX_BIN=g++
  OBJDUMP_BIN=objdump
  # Debian's usual hardening flags; the C++ runtime is linked in statically so
  # the files do not depend on the libstdc++ of the machine they land on.
  TARGET_MAKE_VARS=(
    "CC=$CC_BIN" "CXX=$CXX_BIN"
    "DEB_7Z_CFLAGS=-fstack-protector-strong -fstack-clash-protection -fcf-protection"
    "DEB_7Z_CXXFLAGS=-fstack-protector-strong -fstack-clash-protection -fcf-protection"
    "DEB_7Z_CPPFLAGS=-D_FORTIFY_SOURCE=2"
    "DEB_7Z_LDFLAGS=-Wl,-z,relro -Wl,-z,now"
  )
  EXE_LINK_EXTRA="-static-libstdc++ -static-libgcc"
  LIB_LINK_EXTRA="-static-libstdc++ -static-libgcc -Wl,--no-undefined -Wl,--exclude-libs,ALL"
  EXPECTED_FORMAT=elf64-x86-64
  TOOL_PACKAGES=(g++ gcc binutils)
fi

# bundle dir | makefile | upstream output name | our name | extra link flags
bundle_list() {
  local exe_out=7za lib_ext=.so
  [[ "$TARGET" == windows ]] && exe_out=7za.exe && lib_ext=.dll
  printf '%s|%s|%s|%s|%s\n' \
    Alone           makefile.gcc                              "$exe_out"        7za.exe  "$EXE_LINK_EXTRA" \
    Format7z        "$HERE/Format7z.makefile.gcc"             "7za$lib_ext"     7za.dll  "$LIB_LINK_EXTRA" \
    Format7zExtract "$HERE/Format7zExtract.makefile.gcc"      "7zxa$lib_ext"    7zxa.dll "$LIB_LINK_EXTRA"
}

recipe_id() {
  {
    echo "target=$TARGET"
    printf '%s\n' "${COMMON_MAKE_VARS[@]}" "${TARGET_MAKE_VARS[@]}"
    bundle_list | sed "s|$HERE/||"
    cat "$HERE/Format7z.makefile.gcc" "$HERE/Format7zExtract.makefile.gcc"
  } | sha256sum | cut -c1-16
}

# ---------------------------------------------------------------------------
# Private package lists

lists_present() {
  compgen -G "$APT_DIR/lists/*_source_Sources*" >/dev/null
}

lists_fresh() {
  lists_present && [[ -e "$APT_STAMP" ]] || return 1
  [[ "$MAX_AGE_DAYS" -eq 0 ]] && return 0
  [[ -n "$(find "$APT_STAMP" -mtime "-$MAX_AGE_DAYS" 2>/dev/null)" ]]
}

write_sources_list() {
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial" \
           "$APT_DIR/sources.list.d" "$APT_DIR/preferences.d"
  # The same archives the system uses, as source entries, in a private list.
  local f
  rm -f "$APT_DIR/sources.list.d/"*
  : > "$APT_DIR/sources.list"
  if [[ -r /etc/apt/sources.list ]]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$APT_DIR/sources.list"
  fi
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -r "$f" ]] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" > "$APT_DIR/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [[ -r "$f" ]] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$APT_DIR/sources.list"
  done
}

APT_LOG=$APT_DIR/apt.log
refresh_lists() {
  mkdir -p "$APT_DIR"
  [[ -r "$KEYRING" ]] || ensure_packages debian-archive-keyring
  write_sources_list
  say "refreshing private package lists"
  if apt-get "${APT_OPTS[@]}" -q update >"$APT_LOG" 2>&1; then
    touch "$APT_STAMP"
    REFRESHED=1
  elif lists_present; then
    say "warning: refreshing the package lists failed; using the existing ones (see $APT_LOG)"
  else
    tail -n 20 "$APT_LOG" >&2 || true
    die "could not fetch the package lists (see $APT_LOG)"
  fi
}

# Highest version of the source package in the private lists.
source_version() {
  local v best=""
  while read -r v; do
    if [[ -z "$best" ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done < <(apt-cache "${APT_OPTS[@]}" showsrc --only-source "$PKG" 2>/dev/null \
             | sed -n 's/^Version: *//p')
  printf '%s' "$best"
}

# ---------------------------------------------------------------------------
# Host tools

SYSTEM_UPDATED=0
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  [[ $(id -u) -eq 0 ]] || die "missing packages: ${missing[*]} (install them with apt-get as root)"
  mkdir -p "$APT_DIR"
  say "installing ${missing[*]}"
  if [[ $SYSTEM_UPDATED -eq 0 ]]; then
    apt-get -q update >>"$APT_DIR/install.log" 2>&1 || { tail -n 20 "$APT_DIR/install.log" >&2; die "apt-get update failed"; }
    SYSTEM_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get -q install -y --no-install-recommends "${missing[@]}" \
    >>"$APT_DIR/install.log" 2>&1 || { tail -n 20 "$APT_DIR/install.log" >&2; die "apt-get install ${missing[*]} failed"; }
}

# ---------------------------------------------------------------------------
# Cache helpers

cache_complete() {  # dir -> 0 if it holds the three files of the current recipe
  local d=$1 f
  for f in "${FILES[@]}"; do [[ -s "$d/$f" ]] || return 1; done
  [[ -f "$d/.recipe" && "$(cat "$d/.recipe")" == "$RECIPE" ]]
}

copy_out() {  # cache dir -> OUTDIR
  local d=$1 f
  mkdir -p "$OUTDIR"
  for f in "${FILES[@]}"; do
    cp -f "$d/$f" "$OUTDIR/.$f.tmp.$$"
    chmod 0755 "$OUTDIR/.$f.tmp.$$"
    mv -f "$OUTDIR/.$f.tmp.$$" "$OUTDIR/$f"
  done
}

declare -A LOCK_FDS=()
lock() {  # name file -> exclusive lock, held until unlock name (or the end)
  local fd
  exec {fd}>"$2"
  flock "$fd"
  LOCK_FDS[$1]=$fd
}
unlock() {  # name
  local fd=${LOCK_FDS[$1]:-}
  [[ -n "$fd" ]] || return 0
  exec {fd}>&-
  unset "LOCK_FDS[$1]"
}

TMP_DIRS=()
cleanup() { local d; for d in "${TMP_DIRS[@]}"; do rm -rf "$d"; done; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---------------------------------------------------------------------------
# Fetch the source tree (once per version)

fetch_source() {  # -> 0 on success, 1 if apt-get source failed
  local vdir=$CACHE_ROOT/$VKEY tmp log
  [[ -d "$vdir/source/CPP/7zip/Bundles/Alone" ]] && return 0
  ensure_packages dpkg-dev xz-utils
  mkdir -p "$vdir"
  log=$vdir/fetch.log
  tmp=$(mktemp -d "$vdir/.fetch.XXXXXX"); TMP_DIRS+=("$tmp")
  chmod 0755 "$tmp"
  say "fetching Debian source $PKG $VERSION"
  if ! (cd "$tmp" && apt-get "${APT_OPTS[@]}" -q source "$PKG=$VERSION") >"$log" 2>&1; then
    tail -n 20 "$log" >&2 || true
    return 1
  fi
  local dirs=("$tmp"/*/)
  [[ ${#dirs[@]} -eq 1 && -d "${dirs[0]}/CPP/7zip/Bundles/Alone" ]] \
    || die "unexpected layout of the fetched source (see $log)"
  rm -rf "$vdir/source"
  mv -T "${dirs[0]%/}" "$vdir/source"
  return 0
}

# ---------------------------------------------------------------------------
# Build

run_make() {  # bundle makefile objdir extra_ldflags
  local bundle=$1 mk=$2 obj=$3 extra=$4
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u MAKEFILES \
      -u DEBUG_BUILD -u ST_MODE -u USE_ASM -u USE_JWASM -u USE_CLANG \
      -u MSYSTEM -u COMPL_STATIC -u SystemDrive -u SYSTEMDRIVE \
    make -C "$SRC/CPP/7zip/Bundles/$bundle" -f "$mk" -j"$JOBS" \
      "O=$obj" \
      "${COMMON_MAKE_VARS[@]}" "${TARGET_MAKE_VARS[@]}" \
      "LDFLAGS_STATIC_3=$extra"
}

check_file() {  # path
  local f=$1 fmt dll
  fmt=$("$OBJDUMP_BIN" -f "$f" 2>/dev/null | sed -n 's/.*file format //p' | head -n1)
  [[ "$fmt" == "$EXPECTED_FORMAT" ]] || die "$(basename "$f"): file format '$fmt', expected $EXPECTED_FORMAT"
  if [[ "$TARGET" == windows ]]; then
    while read -r dll; do
      case "${dll,,}" in
        kernel32.dll|user32.dll|oleaut32.dll|advapi32.dll|msvcrt.dll|ole32.dll|shell32.dll|gdi32.dll|comctl32.dll|comdlg32.dll) ;;
        *) die "$(basename "$f") depends on non-system DLL $dll" ;;
      esac
    done < <("$OBJDUMP_BIN" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: *//p')
  fi
}

build_target() {
  local vdir=$CACHE_ROOT/$VKEY dest=$CACHE_ROOT/$VKEY/$TARGET
  local log=$vdir/build-$TARGET.log tmp bundle mk produced name extra
  ensure_packages make "${TOOL_PACKAGES[@]}"
  tmp=$(mktemp -d "$vdir/.build-$TARGET.XXXXXX"); TMP_DIRS+=("$tmp")
  mkdir -p "$tmp/out"
  : >"$log"
  while IFS='|' read -r bundle mk produced name extra; do
    say "building $name ($TARGET, upstream bundle $bundle)"
    if ! run_make "$bundle" "$mk" "$tmp/obj/$bundle" "$extra" >>"$log" 2>&1; then
      say "build of $bundle failed; last lines of $log:"
      tail -n 40 "$log" >&2 || true
      exit 1
    fi
    [[ -s "$tmp/obj/$bundle/$produced" ]] || die "$bundle did not produce $produced (see $log)"
    cp "$tmp/obj/$bundle/$produced" "$tmp/out/$name"
    check_file "$tmp/out/$name"
  done < <(bundle_list)
  if [[ "$TARGET" == native ]]; then
    "$tmp/out/7za.exe" i >/dev/null 2>>"$log" || die "the built 7za.exe does not run (see $log)"
  fi
  printf '%s' "$RECIPE" >"$tmp/out/.recipe"
  # Publish atomically: a reader sees either no cache or a complete one.
  if [[ -e "$dest" ]]; then
    mv -T "$dest" "$tmp/old"
  fi
  mv -T "$tmp/out" "$dest"
}

# ---------------------------------------------------------------------------
# Main

# One pass: resolve the version, serve it from the cache or fetch + build it.
# Sets FETCH_FAILED=1 (instead of failing) when apt-get source fails, so the
# caller can refresh stale lists and try once more.
attempt() {
  VERSION=$(source_version)
  [[ -n "$VERSION" ]] || die "source package $PKG not found in the private package lists ($APT_DIR)"
  VKEY=${VERSION//:/_}
  DEST=$CACHE_ROOT/$VKEY/$TARGET
  FETCH_FAILED=0

  if cache_complete "$DEST"; then
    copy_out "$DEST"
    say "$PKG $VERSION ($TARGET) from cache $DEST -> $OUTDIR"
    return 0
  fi

  mkdir -p "$CACHE_ROOT/$VKEY"
  lock build "$CACHE_ROOT/$VKEY/.$TARGET.lock"
  if ! cache_complete "$DEST"; then   # another run may have finished meanwhile
    rm -rf "$CACHE_ROOT/$VKEY/.build-$TARGET".* 2>/dev/null || true
    lock apt "$CACHE_ROOT/.apt.lock"
    if ! fetch_source; then
      unlock apt
      unlock build
      FETCH_FAILED=1
      return 0
    fi
    unlock apt
    SRC=$CACHE_ROOT/$VKEY/source
    build_target
    say "$PKG $VERSION ($TARGET) built in $(( $(date +%s) - START ))s, cached in $DEST"
  fi
  unlock build
  copy_out "$DEST"
  say "$PKG $VERSION ($TARGET) -> $OUTDIR"
}

START=$(date +%s)
RECIPE=$(recipe_id)
REFRESHED=0
FORCE_REFRESH=${VARNHOLT_ARCHIVER_REFRESH:-0}

if [[ "$FORCE_REFRESH" == 1 ]] || ! lists_fresh; then
  mkdir -p "$APT_DIR"
  lock apt "$CACHE_ROOT/.apt.lock"
  if [[ "$FORCE_REFRESH" == 1 ]] || ! lists_fresh; then
    refresh_lists
  fi
  unlock apt
fi

attempt
if [[ $FETCH_FAILED -eq 1 ]]; then
  [[ $REFRESHED -eq 0 ]] || die "apt-get source $PKG=$VERSION failed (see $CACHE_ROOT/$VKEY/fetch.log)"
  say "apt-get source $PKG=$VERSION failed; refreshing the lists and retrying"
  lock apt "$CACHE_ROOT/.apt.lock"
  refresh_lists
  unlock apt
  attempt
  [[ $FETCH_FAILED -eq 0 ]] || die "apt-get source $PKG=$VERSION failed (see $CACHE_ROOT/$VKEY/fetch.log)"
fi
