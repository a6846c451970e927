# Why a node has its state: stopped by its load-if (with the value it read), below a stopped
# node, forced off by the product file, and a configured node with where each value came from.
tam explain explain/product.json kart.rain_tyres
expect_status 0
expect_stdout explain_load_if.out
expect_no_stderr

tam explain explain/product.json kart.rain_tyres.valves
expect_status 0
expect_stdout explain_stopped_above.out
expect_no_stderr

tam explain explain/product.json kart.transponder
expect_status 0
expect_stdout explain_forced.out
expect_no_stderr

tam explain explain/product.json kart.engine
expect_status 0
expect_stdout explain_configured.out
expect_no_stderr

# A host value from the command line changes the evaluation explained, and is named as given.
tam explain --set kart:kart:class=junior explain/product.json kart.rain_tyres
expect_status 0
expect_stdout explain_load_if_set.out
expect_no_stderr

tam explain --set kart.seat:seat:padding=thick --set kart:kart:class=junior \
  explain/product.json kart.seat:seat:padding
expect_status 0
expect_stdout explain_set_value.out
expect_no_stderr
