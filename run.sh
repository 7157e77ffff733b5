#!/usr/bin/env bash
# Installs what is missing, builds, starts the reader simulator on a
# pseudo-terminal and the window connected to it.
#   ./run.sh                    interactive: type simulator commands here
#   ./run.sh --screenshot FILE  runs a few seconds, saves a PNG, exits 0
#   ./run.sh --expert           the window with its "Tests" and "Expert" pages
set -euo pipefail
. "$(dirname "$0")/scripts/common.sh"

SHOT=""
EXPERT=""
while [ $# -gt 0 ]; do
    case "$1" in
        --screenshot)
            SHOT="${2:?--screenshot needs a file name}"
            case "$SHOT" in /*) ;; *) SHOT="$PWD/$SHOT" ;; esac
            shift 2 ;;
        --expert) EXPERT="--expert"; shift ;;
        *) echo "Option inconnue : $1 (options : --expert, --screenshot FICHIER)" >&2; exit 2 ;;
    esac
done

HAVE_DISPLAY=""
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && HAVE_DISPLAY=1
EXTRA=""
[ -z "$HAVE_DISPLAY" ] && EXTRA="xvfb xauth"
[ -n "$SHOT" ] && EXTRA="$EXTRA imagemagick"
install_missing $BUILD_PACKAGES $EXTRA
build_project

APP="$BUILD_DIR/kovrim-manager"
SIM="$BUILD_DIR/sim/kovrim-reader-sim"
LINK="${KOVRIM_SIM_LINK:-/tmp/kovrim-reader-$(id -u)}"
SIM_PID=""
cleanup() { [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT

start_simulator() {
    rm -f "$LINK"
    if [ -n "$SHOT" ]; then
        "$SIM" --link "$LINK" --badge credit --stay </dev/null &
    else
        "$SIM" --link "$LINK" <&0 &
    fi
    SIM_PID=$!
    for _ in $(seq 1 50); do [ -e "$LINK" ] && return 0; sleep 0.1; done
    echo "Le simulateur n'a pas démarré." >&2
    exit 1
}

start_simulator
if [ -n "$SHOT" ]; then
    shoot='"$1" $4 "$2" & app=$!; sleep 4; import -window root "$3"; kill $app; wait $app 2>/dev/null; true'
    if [ -n "$HAVE_DISPLAY" ]; then
        bash -c "$shoot" _ "$APP" "$LINK" "$SHOT" "$EXPERT"
    else
        echo "Pas d'affichage : la fenêtre tourne sous Xvfb."
        xvfb-run -a -s "-screen 0 1024x800x24" bash -c "$shoot" _ "$APP" "$LINK" "$SHOT" "$EXPERT"
    fi
    echo "Capture enregistrée : $SHOT"
    exit 0
fi

cat <<TXT
Simulateur de lecteur sur $LINK. Tapez ses commandes ici :
  present NOM   poser un badge (badges : liste des badges)
  remove        retirer le badge
  debug TEXTE   envoyer un texte de debug au logiciel
  secteur N     afficher un secteur de la carte du badge posé
  help          toutes les commandes
  quit          arrêter le simulateur
TXT
# shellcheck disable=SC2086
if [ -n "$HAVE_DISPLAY" ]; then
    "$APP" $EXPERT "$LINK"
else
    echo "Pas d'affichage : la fenêtre tourne sous Xvfb (invisible)."
    xvfb-run -a -s "-screen 0 1024x800x24" "$APP" $EXPERT "$LINK"
fi
