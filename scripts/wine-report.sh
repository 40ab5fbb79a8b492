#!/usr/bin/env bash
# Prints one line: which Windows architectures this host's Wine runs, and
# why x86 is skipped where it is.
source "$(dirname "$0")/wine-env.sh"
case " $LUMISET_WINE_ARCHS " in
  *" x86 "*) echo "Windows layers run under Wine for x86 and x64." ;;
  *" x64 "*) echo "Windows layers run under Wine for x64 only; x86 is skipped: $LUMISET_WINE_WHY_NOT_X86." ;;
  *) echo "Windows layers are skipped: no usable Wine on this host." ;;
esac
