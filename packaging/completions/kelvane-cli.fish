# fish completion for kelvane-cli
complete -c kelvane-cli -f
complete -c kelvane-cli -s t -l text -x -d 'the block of text to write again and again'
complete -c kelvane-cli -s f -l text-file -r -F -d 'read the block from FILE (- for standard input)'
complete -c kelvane-cli -s n -l repeat -x -d 'how many copies to write (1 to 2147483647)'
complete -c kelvane-cli -s v -l var -x -d 'a variable, TAG=VALUE'
complete -c kelvane-cli -l var-file -r -F -d 'a variable whose values are the lines of FILE, TAG=FILE'
complete -c kelvane-cli -s o -l output -r -F -d 'write to FILE (- for standard output)'
complete -c kelvane-cli -s a -l append -d 'add to the end of the output file instead of replacing it'
complete -c kelvane-cli -l saved -d 'run the job Kelvane saved'
complete -c kelvane-cli -l save -d 'save the job for Kelvane, then run it'
complete -c kelvane-cli -s h -l help -d 'show the help and exit'
complete -c kelvane-cli -l version -d 'show the version and exit'
