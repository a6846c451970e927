# tam serve's help, and command lines it refuses before serving anything.
tam serve --help
expect_status 0
expect_stdout serve_help.out

tam serve
expect_status 2
expect_stderr serve_no_product.err

tam serve --port 70000 basic/product.json
expect_status 2
expect_stderr serve_bad_port.err

tam serve bad_json/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_bad_json.err
