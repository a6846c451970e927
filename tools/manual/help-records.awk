# Turns the help text of one tam command into records, one per line, fields separated by tabs:
#   D <text>                 a line of the command's description (the lines before "Usage:")
#   U <usage>                the usage line, without "Usage: "
#   S <section>              a section heading such as "Options" or "Subcommands"
#   E <names> <description>  an entry of the current section: "--set TEXT ..." and its text
#   P <text>                 any other line of text after the usage line
# Entries are indented by two blanks; the names end at the first run of two or more blanks, and
# lines indented further than the names continue the description of the entry above them.
BEGIN { FS = "\n"; inUsage = 0; pending = 0 }

function flush() {
  if (pending) print "E\t" names "\t" description
  pending = 0
}

/^Usage: / { flush(); sub(/^Usage: /, ""); print "U\t" $0; inUsage = 1; next }
!inUsage { if ($0 != "") print "D\t" $0; next }
/^[^ ].*:$/ { flush(); sub(/:$/, ""); print "S\t" $0; next }
/^  [^ ]/ {
  flush()
  line = substr($0, 3)
  gap = match(line, /  +/)
  if (gap) {
    names = substr(line, 1, gap - 1)
    description = substr(line, gap + RLENGTH)
  } else {
    names = line
    description = ""
  }
  pending = 1
  next
}
/^   +[^ ]/ && pending {
  text = $0
  sub(/^ +/, "", text)
  description = description == "" ? text : description " " text
  next
}
/^$/ { flush(); next }
{ flush(); print "P\t" $0 }
END { flush() }
