                       # then shows vaultpick.exe under Wine listing it (without a DISPLAY:
                       # on its own Xvfb, saving a screenshot, build/demo/vaultpick.png)
bash scripts/test.sh   # tests: builds native, win64 and win32; runs the tests natively, the
                       # win64 ones under Wine and the win32 ones under 32-bit Wine
bash scripts/fuzz.sh 1800  # fuzzes each library entry point for 30 minutes (clang, sanitizers)
bash scripts/coverage.sh [--wine]  # line and branch coverage of the library and the tool
                       # (gcov); --wine adds the program under Wine (MinGW gcov)
bash scripts/test-size.sh  # test lines against product lines; test.sh fails above 0.35
                       # then shows vaultpick.exe under Wine listing it (without a DISPLAY:
                       # on its own Xvfb, saving a screenshot, build/demo/vaultpick.png)
bash scripts/test.sh   # tests: builds native, win64 and win32; runs the tests natively, the
                       # win64 ones under Wine and the win32 ones under 32-bit Wine
bash scripts/fuzz.sh 1800  # fuzzes each library entry point for 30 minutes (clang, sanitizers)
bash scripts/coverage.sh [--wine]  # line and branch coverage of the library and the tool
                       # (gcov); --wine adds the program under Wine (MinGW gcov)
bash scripts/test-size.sh  # test lines against product lines; test.sh fails above 0.35
bash scripts/readme-examples.sh  # runs every other shell example of this page on a fresh
                       # folder against the demo package (test.sh runs it too)
