#!/usr/bin/env bash
# prepare-wine-display WINE_RUN PREFIX: the prefix as the UI tests want it.
# - Windows not handed to an X window manager: there is none under Xvfb, and Wine
#   would wait two seconds for one at every hide, and draw no caption.
# - Wine's own Tahoma and Marlett (package fonts-wine) where the prefix's font folder
#   finds them: the dialog fonts' substitutes then look as they do on Windows.
set -euo pipefail
wine_run=$1
prefix=$2
"$wine_run" "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
fonts=/usr/share/wine/fonts
target="$prefix/drive_c/windows/Fonts"
if [ -d "$fonts" ] && [ -d "$target" ]; then
  for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    if [ -f "$fonts/$font" ]; then ln -sf "$fonts/$font" "$target/$font"; fi
  done
fi
