# An error message emitted by the rules makes the exit status 1; the result is still printed.
tam eval --set bike:bike:speed=45 basic/product.json
expect_status 1
expect_stdout eval_error_message.out
expect_no_stderr
