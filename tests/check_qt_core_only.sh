#!/bin/sh
# Fails unless what is named links Qt Core and none of Qt's Gui, SerialPort, Widgets and
# PrintSupport.
#   check_qt_core_only.sh links LINKS_FILE LIBRARY...  the libraries' link closures, one line
#                                                      each ("lib: target target ...")
#   check_qt_core_only.sh binaries EXECUTABLE...       the shared libraries the executables load
set -u
mode=${1-}
[ $# -gt 0 ] && shift
status=0

case $mode in
links)
    file=$1
    shift
    for lib in "$@"; do
        if ! line=$(grep "^$lib: " "$file"); then
            echo "$lib: not in $file"
            status=1
            continue
        fi
        echo "$line"
        # The closure names Qt's targets as "Qt6::Core" and as "Qt::Core".
        closure=" ${line#*: } "
        case $closure in
        *" Qt6::Core "* | *" Qt::Core "*) ;;
        *) echo "$lib: does not link Qt Core"; status=1 ;;
        esac
        for module in Gui SerialPort Widgets PrintSupport; do
            case $closure in
            *" Qt6::$module "* | *" Qt::$module "*)
                echo "$lib: links Qt $module"; status=1 ;;
            esac
        done
    done
    ;;
binaries)
    for exe in "$@"; do
        if ! loaded=$(ldd "$exe"); then
            echo "$exe: ldd failed"
            status=1
            continue
        fi
        echo "$exe:"
        echo "$loaded" | grep -i qt
        echo "$loaded" | grep -q 'libQt6Core\.so' || { echo "$exe: does not load Qt Core"; status=1; }
        for module in Gui SerialPort Widgets PrintSupport; do
            if echo "$loaded" | grep -q "libQt6$module\.so"; then
                echo "$exe: loads Qt $module"; status=1
            fi
        done
    done
    ;;
*)
    echo "usage: $0 links LINKS_FILE LIBRARY... | binaries EXECUTABLE..."
    exit 2
    ;;
esac
exit $status
