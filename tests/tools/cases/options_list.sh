# tam options lists every option of a product's modules with its declaration, including the
# legacy options the product keeps; of one module; of a folder of module files; and as JSON.
tam options basic/product.json
expect_status 0
expect_stdout options_product.out
expect_no_stderr

tam options basic/product.json wheel
expect_status 0
expect_stdout options_module.out
expect_no_stderr

tam options basic/modules bike
expect_status 0
expect_stdout options_folder.out
expect_no_stderr

tam options --json explain/product.json kart
expect_status 0
expect_stdout options_json.out
expect_no_stderr

tam options basic/product.json whel
expect_status 2
expect_no_stdout
expect_stderr options_unknown_module.err

tam options nowhere
expect_status 2
expect_no_stdout
expect_stderr options_no_file.err
