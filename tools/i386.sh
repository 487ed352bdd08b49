# The 32-bit Windows checks of a test run. Sourced. i386_probe asks once per
# run whether this machine starts i386 programs and exports the answer as
# QUILLMOOR_I386 (yes/no) to every suite started later; a suite started on
# its own asks for itself. The script that asked reports the skips, so a run
# prints the skip line once:
#   "32-bit Windows programs cannot run on this machine: N checks skipped"
i386_probe() {
  i386_asked_here=
  if [ -z "${QUILLMOOR_I386:-}" ]; then
    i386_asked_here=1
    # Wine needs its 32-bit half too, which a machine that runs i386 may still lack.
    if "$(dirname "${BASH_SOURCE[0]}")/i386-runs.sh" &&
       dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
      QUILLMOOR_I386=yes
    else
      QUILLMOOR_I386=no
    fi
    export QUILLMOOR_I386
  fi
}

# i386_report SKIPPED: the skip line, from the script that asked, when 32-bit
# programs cannot run.
i386_report() {
  [ -n "${i386_asked_here:-}" ] && [ "$QUILLMOOR_I386" = no ] &&
    echo "32-bit Windows programs cannot run on this machine: $1 checks skipped"
  return 0
}
