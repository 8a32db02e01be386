a _Pragma /* c */ ( /* d
 */ "x" ) b
c
