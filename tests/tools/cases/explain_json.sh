# The same explanations as JSON documents: an option's history and a node's state.
tam explain --json explain/product.json kart.engine:engine:power
expect_status 0
expect_stdout explain_option_json.out
expect_no_stderr

tam explain --json explain/product.json kart.rain_tyres
expect_status 0
expect_stdout explain_node_json.out
expect_no_stderr
