cmake_minimum_required(VERSION 3.25)

# Runs standin_host.exe --scenario and checks what it printed, in each of its two runs
# (the rule editor floating beside the host, then docked in the host's pane) alike: the
# exact calls of the first tick that sees the rules, the silence while clamping is off,
# the correction once it is on again, ticks four times as often after Configure as
# before, the input box owned by the host window, the about window of its own, and a
# summary that agrees with the run's trace. Ticks that only read are folded into lines
# that count them: every tick is still accounted for, in order, and a tick with lines of
# its own must have more than reads to show. Then what each way of showing the window
# takes, in order: Show with the host's form as owner; SetParent, Move and Show into the
# pane, out of it again, and the pane closed with the window in it.
# Usage: cmake -DRUNNER=wine-run -DPREFIX=<prefix> -DHOST=<exe> -P this file,
# or cmake -DSAVED_OUTPUT=<file> -P this file.

# The scenario's rules: channel, minimum, maximum, the fader value set before the first tick.
set(rules "5 10 200 3" "7 0 100 150" "12 50 50 49")
# The fader moved while clamping is off: channel and value.
set(unheld_channel 7)
set(unheld_value 180)

# A tick with lines of its own (1: its number, 2: said when slow) and a run of ticks that
# only read, folded into one line (1: how many, 2: the first one's clock time, 4: the last's).
set(tick_line "^-- tick ([0-9]+) at [0-9]+\\.[0-9][0-9][0-9] s( \\(slow: [0-9]+ ms\\))?$")
set(clock "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")
set(folded_line "^-- ([0-9]+) ticks? without a write, (${clock})( to (${clock}))?$")

# One of `rules` read into channel, minimum, maximum and fader, in the caller's scope.
macro(read_rule text)
  set(rule_fields "${text}")
  separate_arguments(rule_fields)
  list(GET rule_fields 0 channel)
  list(GET rule_fields 1 minimum)
  list(GET rule_fields 2 maximum)
  list(GET rule_fields 3 fader)
endmacro()

function(clamp value minimum maximum out)
  if(value LESS minimum)
    set(value ${minimum})
  elseif(value GREATER maximum)
    set(value ${maximum})
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

if(DEFINED SAVED_OUTPUT)
  # Checks a run saved earlier (standin_host.exe --scenario --output FILE) instead.
  file(READ "${SAVED_OUTPUT}" output)
  set(errors "")
  set(exit_code 0)
else()
  # Once more where Wine did not start the program at all: it ended at once, having printed
  # nothing, not even its first line (seen once in a whole test run, 0.05 s, exit code 1).
  # A run that printed anything is judged as it ran.
  foreach(attempt 1 2)
    execute_process(COMMAND ${RUNNER} ${PREFIX} ${HOST} --scenario
                    OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE exit_code
                    TIMEOUT 240)
    if(exit_code EQUAL 0 OR NOT output STREQUAL "" OR NOT errors STREQUAL "")
      break()
    endif()
    message(NOTICE "standin_host.exe --scenario ended with exit code ${exit_code} and printed nothing")
  endforeach()
  if(exit_code EQUAL 77)
    # wine-run's own line: the test counts as skipped.
    message("${output}")
    return()
  endif()
endif()
string(REPLACE "\r" "" output "${output}")
string(REPLACE ";" "," output "${output}")
string(REPLACE "\n" ";" all_lines "${output}")

set(problems "")
macro(problem text)
  string(APPEND problems "  ${run_label}${text}\n")
endmacro()

set(run_label "")
if(NOT exit_code EQUAL 0)
  problem("exit code ${exit_code}, expected 0")
endif()

# Index of the first line at or after `from` that equals `text`; -1 if none.
function(find_line text from out)
  list(LENGTH lines count)
  set(found -1)
  set(i ${from})
  while(i LESS count)
    list(GET lines ${i} line)
    if(line STREQUAL text)
      set(found ${i})
      break()
    endif()
    math(EXPR i "${i} + 1")
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Ticks in `lines` from `first` until a line matching `stop`: those with a line of their
# own and those counted in folded lines.
function(ticks_between first stop out)
  set(ticks 0)
  list(SUBLIST lines ${first} -1 rest)
  foreach(line IN LISTS rest)
    if(line MATCHES "${stop}")
      break()
    elseif(line MATCHES "${tick_line}")
      math(EXPR ticks "${ticks} + 1")
    elseif(line MATCHES "${folded_line}")
      math(EXPR ticks "${ticks} + ${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} ${ticks} PARENT_SCOPE)
endfunction()

# Lines matching each pattern in `patterns`, one after the other, in this run.
function(expect_in_order patterns)
  set(from 0)
  list(LENGTH lines count)
  foreach(pattern IN LISTS patterns)
    set(found -1)
    set(i ${from})
    while(i LESS count)
      list(GET lines ${i} line)
      if(line MATCHES "${pattern}")
        set(found ${i})
        break()
      endif()
      math(EXPR i "${i} + 1")
    endwhile()
    if(found LESS 0)
      string(APPEND problems "  ${run_label}no `${pattern}` after line ${from}\n")
      break()
    endif()
    math(EXPR from "${found} + 1")
  endforeach()
  set(problems "${problems}" PARENT_SCOPE)
endfunction()

# The checks both runs share; `lines` holds the run's lines, `summary` the heading of its
# summary and `verdict` (a pattern) what its last line starts with.
function(check_run summary verdict)
  string(JOIN "\n" text ${lines})
  set(text "\n${text}\n")
  # The first tick after the rules: every rule read in order; a channel out of its band
  # is written back at its edge through a fresh stream.
  set(expected_tick "")
  foreach(rule IN LISTS rules)
    read_rule("${rule}")
    clamp(${fader} ${minimum} ${maximum} wanted)
    list(APPEND expected_tick "ChannelGetValue ${channel} -> ${fader}")
    if(NOT wanted EQUAL fader)
      list(APPEND expected_tick "MyStream" "UserInteraction" "MyStream" "SetChannel ${channel}, ${wanted}, true")
    endif()
  endforeach()
  list(GET expected_tick 0 first_read)
  find_line("${first_read}" 0 start)
  if(start LESS 1)
    problem("no tick starting with `${first_read}`")
  else()
    math(EXPR before "${start} - 1")
    list(GET lines ${before} marker)
    if(NOT marker MATCHES "^-- tick [0-9]+ at ")
      problem("`${first_read}` is not the first call of a tick (after `${marker}`)")
    endif()
    set(i ${start})
    list(LENGTH lines count)
    foreach(wanted_line IN LISTS expected_tick)
      if(i GREATER_EQUAL count)
        problem("trace ends before `${wanted_line}`")
        break()
      endif()
      list(GET lines ${i} line)
      if(NOT line STREQUAL wanted_line)
        problem("first tick, line ${i}: `${line}`, expected `${wanted_line}`")
      endif()
      math(EXPR i "${i} + 1")
    endforeach()
  endif()

  # Configure: the box answered with 250, then ticks four times as often as the 1000 ms
  # before, measured against each other in this one run. The ticks that only read have
  # no time of their own in the trace, so the run prints the gaps it saw.
  find_line("> Configure -> true" 0 configured)
  if(configured LESS 0)
    problem("no `> Configure -> true`")
  else()
    ticks_between(0 "^> Configure$" ticks_before)
    ticks_between(${configured} "^> (ticks now|click) " ticks_after)
    if(ticks_before LESS 2)
      problem("${ticks_before} ticks before Configure, expected two or more")
    elseif(ticks_after LESS 5)
      problem("${ticks_after} ticks between Configure and the gaps printed, expected five or more")
    elseif(NOT text MATCHES "\n> ticks now ([0-9]+)\\.([0-9][0-9][0-9]) s apart, ([0-9]+)\\.([0-9][0-9][0-9]) s before Configure\n")
      problem("no `> ticks now ... s apart, ... s before Configure`")
    else()
      math(EXPR mean_after "${CMAKE_MATCH_1} * 1000 + 1${CMAKE_MATCH_2} - 1000")
      math(EXPR mean_before "${CMAKE_MATCH_3} * 1000 + 1${CMAKE_MATCH_4} - 1000")
      math(EXPR low "${mean_after} * 25")
      math(EXPR high "${mean_after} * 65")
      math(EXPR before_tenfold "${mean_before} * 10")
      if(mean_after EQUAL 0 OR before_tenfold LESS low OR before_tenfold GREATER high)
        problem("ticks ${mean_before} ms apart before Configure, ${mean_after} ms after: expected about four times as often")
      endif()
    endif()
  endif()
  # The box belongs to the host window, whose Configure it answers, wherever the editor is.
  if(NOT text MATCHES "\n> box \"Plugin: Zorvane Einstellungen\": [^\n]*, owner the host window, typed 250, OK\n")
    problem("the input box was not the host window's, answered with 250")
  endif()

  # Clamping off: no tick, no write until it is on again; then the moved channel is corrected.
  find_line("> click \"Plugin aktiviert\" -> unchecked" 0 off)
  find_line("> click \"Plugin aktiviert\" -> checked" 0 on)
  find_line("> Fader ${unheld_channel} = ${unheld_value}" 0 moved)
  if(off LESS 0 OR on LESS off OR moved LESS off OR moved GREATER on)
    problem("no click off, fader ${unheld_channel} = ${unheld_value}, click on, in that order")
  else()
    math(EXPR length "${on} - ${off}")
    list(SUBLIST lines ${off} ${length} while_off)
    foreach(line IN LISTS while_off)
      if(line MATCHES "^(SetChannel |ChannelGetValue |-- tick )" OR line MATCHES "${folded_line}")
        problem("while off: `${line}`")
      endif()
    endforeach()
    foreach(rule IN LISTS rules)
      read_rule("${rule}")
      if(channel EQUAL unheld_channel)
        clamp(${unheld_value} ${minimum} ${maximum} wanted)
        find_line("ChannelGetValue ${channel} -> ${unheld_value}" ${on} read_again)
        find_line("SetChannel ${channel}, ${wanted}, true" ${on} corrected)
        if(read_again LESS 0 OR corrected LESS read_again)
          problem("once on again: no `ChannelGetValue ${channel} -> ${unheld_value}` followed by `SetChannel ${channel}, ${wanted}, true`")
        endif()
      endif()
    endforeach()
  endif()

  # Every tick accounted for, in order: a tick with lines of its own is numbered one past
  # all the ticks before it, the folded ones included, and shows more than reads (a write,
  # a failed or other call) unless it says it was slow. Folded lines say "tick" for one,
  # and name the last tick's time only for more than one.
  set(counted 0)
  set(folded 0)
  set(open_tick "")
  foreach(line IN LISTS lines ITEMS "== end")
    set(ends_tick FALSE)
    if(line MATCHES "^(> |-- |== |! )")
      set(ends_tick TRUE)
    elseif(NOT open_tick STREQUAL "" AND NOT line MATCHES "^ChannelGetValue [0-9]+ -> [0-9]+$")
      set(shows_more TRUE)
    endif()
    if(ends_tick AND NOT open_tick STREQUAL "" AND NOT shows_more)
      problem("`${open_tick}` has lines of its own but only read")
    endif()
    if(ends_tick)
      set(open_tick "")
    endif()
    if(line MATCHES "${tick_line}")
      math(EXPR expected_number "${counted} + 1")
      if(NOT CMAKE_MATCH_1 EQUAL expected_number)
        problem("`${line}`: expected tick ${expected_number} after ${counted} ticks")
      endif()
      set(counted ${CMAKE_MATCH_1})
      set(open_tick "${line}")
      set(shows_more FALSE)
      if(NOT CMAKE_MATCH_2 STREQUAL "")
        set(shows_more TRUE)
      endif()
    elseif(line MATCHES "${folded_line}")
      set(run ${CMAKE_MATCH_1})
      if(run EQUAL 0 OR (run EQUAL 1 AND NOT line MATCHES "^-- 1 tick without a write, ${clock}$") OR
         (run GREATER 1 AND NOT line MATCHES " ticks without a write, "))
        problem("`${line}`: not how a folded run of ${run} reads")
      endif()
      math(EXPR counted "${counted} + ${run}")
      math(EXPR folded "${folded} + ${run}")
    elseif(line MATCHES "^-- ")
      problem("`${line}`: neither a tick nor a folded run")
    endif()
  endforeach()
  if(folded EQUAL 0)
    problem("no tick folded, though the ticks after Configure only read")
  endif()

  # The summary agrees with the trace, the folded ticks counted in, and holds every
  # channel at its edge. The reads of folded ticks are the summary's own figure: at most
  # one per rule in each folded tick.
  list(LENGTH rules rule_count)
  if(NOT text MATCHES "\nChannelGetValue reads in ticks without a write: ([0-9]+)\n")
    problem("no `ChannelGetValue reads in ticks without a write:` in the summary")
    set(folded_reads 0)
  else()
    set(folded_reads ${CMAKE_MATCH_1})
    math(EXPR most "${folded} * ${rule_count}")
    if(folded_reads GREATER most)
      problem("${folded_reads} reads in ${folded} folded ticks, more than one per rule")
    endif()
  endif()
  foreach(kind IN ITEMS "ticks seen|^-- tick [0-9]+ at |${folded}" "ChannelGetValue reads|^ChannelGetValue [0-9]+ -> |${folded_reads}"
                       "SetChannel writes|^SetChannel [0-9]+, [0-9]+, |0")
    string(REPLACE "|" ";" kind "${kind}")
    list(GET kind 0 label)
    list(GET kind 1 pattern)
    list(GET kind 2 traced)
    set(shown 0)
    foreach(line IN LISTS lines)
      if(line MATCHES "${pattern}")
        math(EXPR shown "${shown} + 1")
      endif()
    endforeach()
    math(EXPR traced "${traced} + ${shown}")
    if(NOT text MATCHES "\n${label}: ([0-9]+)\n")
      problem("no `${label}:` in the summary")
    elseif(NOT CMAKE_MATCH_1 EQUAL traced)
      problem("summary `${label}: ${CMAKE_MATCH_1}`, the trace shows ${traced}")
    elseif(shown EQUAL 0)
      problem("nothing like `${pattern}` in the trace")
    endif()
  endforeach()
  foreach(rule IN LISTS rules)
    read_rule("${rule}")
    if(channel EQUAL unheld_channel)
      set(fader ${unheld_value})
    endif()
    clamp(${fader} ${minimum} ${maximum} final)
    find_line("held: channel ${channel} in ${minimum}..${maximum}, final ${final}" 0 held)
    if(held LESS 0)
      problem("summary lacks `held: channel ${channel} in ${minimum}..${maximum}, final ${final}`")
    endif()
  endforeach()

  # The about window opened by "Hilfe" is a window of its own.
  find_line("> click \"Hilfe\" -> \"Info zu Zorvane\", a window of its own" 0 about)
  if(about LESS 0)
    problem("no about window of its own after \"Hilfe\"")
  endif()
  find_line("${summary}" 0 summary_at)
  if(summary_at LESS 0)
    problem("no `${summary}`")
  endif()
  if(NOT text MATCHES "\n${verdict}: passed in [0-9.]+ s\n")
    problem("no `${verdict}: passed`")
  endif()
  set(problems "${problems}" PARENT_SCOPE)
endfunction()

# The two runs: floating up to the second run's heading, docked from it.
set(second_heading "== second run: the rule editor docked in the host's pane")
list(FIND all_lines "${second_heading}" second)
if(second LESS 0)
  problem("no `${second_heading}`")
  list(LENGTH all_lines second)
endif()
list(SUBLIST all_lines 0 ${second} floating_lines)
list(SUBLIST all_lines ${second} -1 docked_lines)

set(handle "0x[0-9A-F]+")
set(run_label "floating: ")
set(lines ${floating_lines})
check_run("== summary" "scenario")
# Placed beside the host and shown owned by the host's form; at the end closed, and the
# component let go of.
expect_in_order("^> ModuleInfo -> ;^> ToolWindow.Move [0-9]+, [0-9]+, [0-9]+, [0-9]+$;^> ToolWindow.Show 0, <Pult>$;\
^> rule editor floating: its own window, owned by the host window$;^> Term -> true$;\
^> WM_CLOSE to the tool window$;^> Plugin freigegeben$")

set(run_label "docked: ")
set(lines ${docked_lines})
check_run("== summary (docked)" "scenario \\(docked\\)")
# Docked from the menu before the rules are typed: WS_CHILD in the pane, moved to fill it
# below the pane's title, shown. After the run's own steps: out of the pane and back, then
# the pane closed with the window in it, and a new window floating as it starts.
expect_in_order("^> menu \"Werkzeugfenster angedockt\"$;^> SetParent ${handle}, <pane> \\(style WS_CHILD, no caption or frame\\)$;\
^> ToolWindow.Move 0, [1-9][0-9]*, [1-9][0-9]*, [1-9][0-9]*$;^> ToolWindow.Show$;\
^> rule editor docked: a child of the host's pane, filling it$;^> click \"Hilfe\";\
^> menu \"Werkzeugfenster schwebend\"$;^> SetParent ${handle}, <desktop> \\(its own style again\\)$;^> ToolWindow.Show 0, <Pult>$;\
^> rule editor floating: its own window, owned by the host window$;^> menu \"Werkzeugfenster angedockt\"$;\
^> rule editor docked: a child of the host's pane, filling it$;^> click the pane's close button$;\
^> pane closed, the tool window with it$;^> click \"Werkzeugfenster\"$;^> ToolWindow.hWnd -> ${handle}, a new window$;\
^> ToolWindow.Show 0, <Pult>$;^> rule editor floating: its own window;\
^> rule editor ${handle}: no rules, \"Plugin aktiviert\" checked$;^> Term -> true$;^> Plugin freigegeben$")
# The window docked is the one the run found and drove.
list(FILTER lines INCLUDE REGEX "^> (rule editor found: hWnd|SetParent) ")
list(LENGTH lines handles)
set(run_label "docked: ")
if(handles LESS 2)
  problem("no rule editor found and docked")
else()
  list(GET lines 0 docked_line)
  list(GET lines 1 found_line)
  string(REGEX MATCH "${handle}" docked_handle "${docked_line}")
  string(REGEX MATCH "${handle}" found_handle "${found_line}")
  if(NOT docked_handle STREQUAL found_handle)
    problem("docked ${docked_handle}, but the run drove ${found_handle}")
  endif()
endif()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "standin_host.exe --scenario:\n${problems}--- output ---\n${output}\n--- errors ---\n${errors}")
endif()
message(STATUS "scenario checked, floating and docked: first tick, Configure, clamping off and on, summary, docking")
