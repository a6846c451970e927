# Nothing to check, or a path that does not exist.
tam check
expect_status 2
expect_stderr check_nothing.err

tam check nowhere
expect_status 2
expect_stderr check_nowhere.err
