# Colour as Clang shows it (error red, warning magenta, note cyan, caret green, place and message
# in bold): always with --color=always, never with --color=never, and with --color=auto (the
# default) only on a terminal, unless NO_COLOR is set or TERM is dumb. Escape sequences are shown
# with cat -v in the expected file.
tam check --color=always rules_placement
expect_status 1
cat -v out.txt >shown.txt
expect_same shown.txt "$EXPECTED/check_color.out"

NO_COLOR=1 tam check --color=always rules_placement
cat -v out.txt >shown.txt
expect_same shown.txt "$EXPECTED/check_color.out"

tam check --color=never rules_placement
expect_stdout check_rules_placement.out

# Not a terminal: no colour.
tam check rules_placement
expect_stdout check_rules_placement.out

# On a terminal (script gives the command one): colour, unless NO_COLOR or TERM=dumb.
on_terminal() {
  script -qec "$*" /dev/null </dev/null | tr -d '\r' >terminal.txt
}
on_terminal "'$TAM' check rules_placement"
cat -v terminal.txt >shown.txt
expect_same shown.txt "$EXPECTED/check_color.out"

on_terminal "NO_COLOR=1 '$TAM' check rules_placement"
expect_same terminal.txt "$EXPECTED/check_rules_placement.out"

on_terminal "TERM=dumb '$TAM' check rules_placement"
expect_same terminal.txt "$EXPECTED/check_rules_placement.out"

# Errors that end a command are coloured on standard error the same way.
tam check --color=always nowhere
expect_status 2
cat -v err.txt >shown.txt
expect_same shown.txt "$EXPECTED/check_color_nowhere.err"
