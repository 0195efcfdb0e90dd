# Shared settings for the project's scripts; sourced, not run.
TESSALY_ROOT="${TESSALY_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export TESSALY_DEPS="${TESSALY_DEPS:-$TESSALY_ROOT/.deps}"
export WINEPREFIX="${WINEPREFIX:-$TESSALY_ROOT/.wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Written by scripts/setup: "yes" when this machine runs the 32-bit Windows programs, otherwise
# why not.
export TESSALY_I386_NOTE="${TESSALY_I386_NOTE:-$WINEPREFIX/tessaly-i386}"
