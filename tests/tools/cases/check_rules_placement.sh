# Where check places syntax errors in rules: a missing endif just after the last token read (not
# after the comments that follow it), an unterminated string at its opening quote.
tam check rules_placement
expect_status 1
expect_stdout check_rules_placement.out
expect_no_stderr
