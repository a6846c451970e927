# The manual page and the bash completion written beside the binary at build time list every
# subcommand and option that the built tam's help shows, and the page renders without warnings.
page=$(dirname "$TAM")/tam.1
completion=$(dirname "$TAM")/tam.bash-completion
[ -f "$page" ] || fail "no manual page beside the binary"
[ -f "$completion" ] || fail "no bash completion beside the binary"

# offered WORD...: what the completion offers after "tam WORD...".
offered() {
  bash -c '. "$1"; shift; COMP_WORDS=(tam "$@"); COMP_CWORD=$#; _tam; echo " ${COMPREPLY[*]} "' \
    _ "$completion" "$@"
}

tam --help
expect_status 0
commands=$(sed -n '/^Subcommands:/,$s/^  \([^ ][^ ]*\).*/\1/p' out.txt)
[ -n "$commands" ] || fail "the help lists no subcommands"
top=$(offered "")
for command in $commands; do
  heading=$(printf '%s' ".SS \"tam $command\"" | sed 's/-/\\-/g')
  grep -qxF "$heading" "$page" || fail "the manual page has no section for $command"
  case $top in *" $command "*) ;; *) fail "the completion does not offer $command" ;; esac
  tam "$command" --help
  expect_status 0
  options=$(sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\).*/\1/p' out.txt | tr ',' ' ')
  words=$(offered "$command" -)
  for option in $options; do
    escaped=$(printf '%s' "$option" | sed 's/-/\\-/g')
    grep -qF -- "$escaped" "$page" || fail "the manual page lacks $command $option"
    case $words in *" $option "*) ;; *) fail "the completion does not offer $command $option" ;; esac
  done
done

warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
