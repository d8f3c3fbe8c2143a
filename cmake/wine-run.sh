#!/bin/sh
# Runs a Windows program of the cross build under wine: wine-run.sh WINE PROGRAM [ARGUMENTS...]
#
# On a fresh machine the first run creates wine's prefix, which takes from ten seconds to a
# minute; it is made here, on its own and to the end, before any program runs in it. Wine's
# offers to install its .NET and HTML engines are declined: the programs need neither, and
# without a display the offers would only wait.
#
# The first program of a session starts a wine server and its services, about two seconds, and
# the services keep the program's output pipes open: a test runner would then wait for them, and
# start them anew for every test. So a server that stays up for ten idle seconds is started here
# when none runs, and its services are brought up by a program of their own with no pipes to hold.
wine="$1"
shift
export WINEDEBUG="${WINEDEBUG:--all}"
prefix="${WINEPREFIX:-$HOME/.wine}"
if [ ! -f "$prefix/system.reg" ]; then
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
fi
if wineserver -p10 </dev/null >/dev/null 2>&1; then
    "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
fi
exec "$wine" "$@"
