#!/usr/bin/env bash
# Moves the files of ui/ into the rooms that show the layers and rewrites
# every include path, test folder and build rule that names them. Run once
# from the top of a clean checkout; the result is committed as it stands.
set -euo pipefail
cd "$(git rev-parse --show-toplevel)"

# room of each source file (name without extension)
declare -A room=(
    [ScrollBar]=controls/form [OptionButton]=controls/form [CheckBox]=controls/form
    [ClickLabel]=controls/form [Shape]=controls/form [Timer]=controls/form [RuleCell]=controls/form
    [Form2]=ui/main [Form2Controls]=ui/main [Form2Layout]=ui/main [Captions]=ui/main [Fonts]=ui/main
    [Pictures]=ui/main [HoverColours]=ui/main [WindowChrome]=ui/main [Form1]=ui/main
    [QtEventPump]=ui/main [RunSession]=ui/main [LibrarySession]=ui/main
    [TestProgramRunner]=session [ExperimentSession]=session
    [RunWindow]=ui/windows [RunsWindow]=ui/windows [TuningWindow]=ui/windows
    [SurfaceWindow]=ui/windows [ExperimentMenu]=ui/windows
    [TextPair]=ui/texts [TuningTexts]=ui/texts
    [ExitPaths]=app [ExitSignals]=app [QtTranslations]=app
)

# room of each test file, mirroring the sources
declare -A testroom=(
    [test_controls.cpp]=controls/form
    [Form2Fixture.h]=ui/main [Form2Probe.h]=ui/main
    [test_autosave_folder.cpp]=ui/main [test_baseline.cpp]=ui/main [test_captions.cpp]=ui/main
    [test_chrome.cpp]=ui/main [test_form2_control.cpp]=ui/main [test_form2_run.cpp]=ui/main
    [test_hover.cpp]=ui/main [test_layout.cpp]=ui/main [test_walkthrough.cpp]=ui/main
    [test_window_details.cpp]=ui/main [test_runsession.cpp]=ui/main [test_library_session.cpp]=ui/main
    [test_experiment_session.cpp]=session
    [test_experiment_menu.cpp]=ui/windows [test_runswindow.cpp]=ui/windows
    [test_runwindow.cpp]=ui/windows [test_tuning_windows.cpp]=ui/windows
    [test_qt_translations.cpp]=app
)

left=$(git ls-files ui | grep -v '^ui/CMakeLists.txt$' || true)
for f in $left; do
    base=$(basename "$f")
    name=${base%.*}
    [[ -n ${room[$name]:-} ]] || { echo "no room for $f" >&2; exit 1; }
    mkdir -p "${room[$name]}"
    git mv "$f" "${room[$name]}/$base"
done
for f in $(git ls-files tests/ui); do
    base=$(basename "$f")
    [[ -n ${testroom[$base]:-} ]] || { echo "no room for $f" >&2; exit 1; }
    mkdir -p "tests/${testroom[$base]}"
    git mv "$f" "tests/${testroom[$base]}/$base"
done

# the paths in includes and comments
script=()
for name in "${!room[@]}"; do
    script+=(-e "s#\\bui/${name}\\.\\(h\\|cpp\\)\\b#${room[$name]}/${name}.\\1#g")
    script+=(-e "s#\\bui/${name}\\b\\([^/.A-Za-z0-9]\\)#${room[$name]}/${name}\\1#g")
done
script+=(-e 's#"tests/ui/Form2Probe\.h"#"tests/ui/main/Form2Probe.h"#g' -e 's#"ui/Form2Probe\.h"#"ui/main/Form2Probe.h"#g' -e 's#"Form2Fixture\.h"#"ui/main/Form2Fixture.h"#g')
git ls-files '*.cpp' '*.h' | grep -v '^tests/golden/' | xargs sed -i "${script[@]}"

# build rules: the rooms' libraries and test programs
python3 - <<'EOF'
import re
p = 'CMakeLists.txt'
s = open(p).read()
old = """tervalo_library(tervalo_ui ui tervalo_graph tervalo_slider tervalo_engine tervalo_plant tervalo_store tervalo_runtime
                Qt6::Widgets Qt6::Charts Qt6::Svg)
"""
new = """tervalo_library(tervalo_controls_form controls/form tervalo_runtime Qt6::Widgets)
tervalo_library(tervalo_ui_texts ui/texts Qt6::Core)
# The main window, the windows and the session glue that still reaches the
# window itself share one library until the lab object separates them.
tervalo_library(tervalo_ui ui/main tervalo_controls_form tervalo_ui_texts tervalo_graph tervalo_slider tervalo_engine
                tervalo_plant tervalo_store tervalo_runtime Qt6::Widgets Qt6::Charts Qt6::Svg)
file(GLOB _ui_rooms CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/windows/*.cpp ${CMAKE_SOURCE_DIR}/ui/windows/*.h
     ${CMAKE_SOURCE_DIR}/session/*.cpp ${CMAKE_SOURCE_DIR}/session/*.h)
target_sources(tervalo_ui PRIVATE ${_ui_rooms})
"""
assert old in s
s = s.replace(old, new)
open(p, 'w').write(s)

p = 'app/CMakeLists.txt'
s = open(p).read()
old = """add_executable(tervalo main.cpp)
target_link_libraries(tervalo PRIVATE tervalo_ui CLI11::CLI11 Qt6::Widgets)
"""
new = """# The process plumbing beside the program: exit paths, signals, Qt's own texts.
add_library(tervalo_app_support STATIC ExitPaths.cpp ExitPaths.h ExitSignals.cpp ExitSignals.h
            QtTranslations.cpp QtTranslations.h)
target_include_directories(tervalo_app_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tervalo_app_support PUBLIC tervalo_build_options tervalo_ui Qt6::Widgets)
add_executable(tervalo main.cpp)
target_link_libraries(tervalo PRIVATE tervalo_app_support tervalo_ui CLI11::CLI11 Qt6::Widgets)
"""
assert old in s
s = s.replace(old, new)
open(p, 'w').write(s)

p = 'tests/CMakeLists.txt'
s = open(p).read()
for old, new in (("tervalo_tests(test_ui ui tervalo_ui)\n",
                  """tervalo_tests(test_controls_form controls/form tervalo_controls_form)
tervalo_tests(test_ui_main ui/main tervalo_app_support tervalo_ui)
tervalo_tests(test_session session tervalo_ui)
tervalo_tests(test_ui_windows ui/windows tervalo_ui)
"""),
                 ("tervalo_tests(test_app app tervalo_ui)\n",
                  "tervalo_tests(test_app app tervalo_app_support tervalo_ui)\n")):
    assert old in s
    s = s.replace(old, new)
open(p, 'w').write(s)

EOF

# the includes are sorted again where a path moved
git ls-files '*.cpp' '*.h' | grep -v '^tests/golden/' | xargs clang-format -i
