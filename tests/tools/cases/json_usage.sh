# With --json, eval and check print one document also for a command line they cannot use, and
# nothing on standard error; a command without that promise words the mistake as usual.
tam eval --json --sett bike:bike:speed=20 basic/product.json
expect_status 2
expect_no_stderr
expect_stdout json_usage_eval.out

tam check basic/modules --json --color=purple
expect_status 2
expect_no_stderr
expect_stdout json_usage_check.out

tam eval basic/product.json --bogus
expect_status 2
expect_no_stdout
expect_stderr json_usage_text.err
