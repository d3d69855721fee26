# Prints every SQL statement a program prepares ("SQL| ...") and runs
# through sqlite3_exec ("EXEC| ..."), then lets it go on. For one CGI
# request of Portavel, with the CGI variables set:
#   gdb -q -batch -x bench/sql-trace.gdb --args build/bin/Portavel < body \
#     | grep -E '^(SQL|EXEC)\| ' > statements.txt
# The second argument is in rsi on x86-64.
set pagination off
set breakpoint pending on
break sqlite3_prepare_v2
commands
silent
printf "SQL| %s\n", (char*)$rsi
continue
end
break sqlite3_exec
commands
silent
printf "EXEC| %s\n", (char*)$rsi
continue
end
run
