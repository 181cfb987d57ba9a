# Sourced by the scripts: a private Wine prefix for this run, so that tests never see a
# developer's registry, with Mono/Gecko prompts and the crash dialog turned off (and, in a
# prefix made here, the hand-over of windows to a window manager).
# Sets WINEPREFIX (unless given) and exports the variables Wine needs.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/ombrix-wine.XXXXXX)
fi
export WINEPREFIX
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  # A prefix made here serves unattended runs on a virtual screen, which has no window
  # manager. There Wine's X11 driver, at each hide of a window it leaves to the manager (a
  # message box or dialog closing), waits 2 s for a WM_STATE change that never comes, and
  # the program's thread stands still meanwhile. Windows Wine keeps to itself hide at once.
  case "$WINEPREFIX" in
    /tmp/ombrix-wine.*) wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true ;;
  esac
  wineserver -w || true
fi
# A persistent server, and its background services, started here with no output attached:
# otherwise the first test process starts them, they inherit that test's output, and the
# test runner waits for them to close it.
wineserver -p >/dev/null 2>&1 </dev/null || true  # already running: fine
wine cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null || true
