#!/bin/bash
# The game road where no Flash control is registered, with the Flash stand-in only as flash.ocx
# beside kelvo.exe: the game road's own test in its copy mode.
exec bash "$(dirname "$0")/game_e2e.sh" --flash-copy
