# Makes the manual page skerrow-master(8) from the program's own --help text, so the page and the options never
# disagree: cmake -DPROGRAM=path/to/skerrow-master -DVERSION=x.y.z -DOUTPUT=skerrow-master.8 -P manpage.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()

# troff: a backslash is \e, a leading dot or quote would be a request, a dash in an option is \-.
function(troff text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(REPLACE "\n" ";" lines "${help}")
set(synopsis "")
set(options "")
foreach(line IN LISTS lines)
    if(line MATCHES "^usage: skerrow-master (.*)$")
        troff("${CMAKE_MATCH_1}" text)
        string(APPEND synopsis "${text}")
    elseif(line MATCHES "^   +(\\[.*)$")
        troff("${CMAKE_MATCH_1}" text)
        string(APPEND synopsis " ${text}")
    elseif(line MATCHES "^  (--[a-z]+( [A-Z:]+)?) +(.*)$")
        troff("${CMAKE_MATCH_1}" flag)
        troff("${CMAKE_MATCH_3}" text)
        string(APPEND options ".TP\n.B ${flag}\n${text}\n")
    elseif(line MATCHES "^   +(.*)$")
        troff("${CMAKE_MATCH_1}" text)
        string(APPEND options "${text}\n")
    endif()
endforeach()

file(WRITE ${OUTPUT} ".TH SKERROW-MASTER 8 \"\" \"skerrow-master ${VERSION}\" \"System Administration\"
.SH NAME
skerrow-master \\- master service for Quake II servers, with a web page, a JSON API and metrics
.SH SYNOPSIS
.B skerrow-master
${synopsis}
.SH DESCRIPTION
Game servers announce themselves with the classic Quake II master protocol (heartbeats on the UDP port); the service
checks each one with a status query of its own and lists those that answer: on the master port for tools such as
qstat, on the web for the Skerrow browser, as a page of servers and their players at \\fB/\\fR, and as JSON at
\\fB/api/servers\\fR and \\fB/api/health\\fR. With \\fB\\-\\-metrics\\fR it serves Prometheus metrics on an address
of their own.
.SH OPTIONS
${options}.SH FILES
.TP
.I /etc/default/skerrow-master
the options the systemd unit starts it with
.TP
.I /var/lib/skerrow-master/state.txt
the listed servers, kept across restarts
.SH SIGNALS
SIGTERM and SIGINT end it cleanly, saving the state file.
")
