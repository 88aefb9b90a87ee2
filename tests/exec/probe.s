; Probe player: stands in for a tracker's player routine in the tests of the
; generated start-up code. It has three entries, +0, +3 and +6, each three bytes
; long, and logs every call (see log.inc).
;
; The same bytes must run wherever they are loaded ($0500 or $F500; the program
; never relocates a player): only relative branches inside the code, absolute
; addresses only for the log.

.include "log.inc"

.segment "CODE"

entry0: sec
        bcs at0
entry3: clc
        bcc at3
entry6: clv
        bvc at6

at0:    sta SAVED_A
        lda #0
        beq log
at3:    sta SAVED_A
        lda #3
        bne log
at6:    sta SAVED_A
        lda #6
        bne log

log:    LOG_AND_RETURN

.assert entry3 - entry0 = 3, error, "entry +3 misplaced"
.assert entry6 - entry0 = 6, error, "entry +6 misplaced"
