; Test player, assembled with -D CMC, -D MPT or -D TMC. It plays the module's bytes one
; after another, one per second (50 full calls), as the AUDF value of a pure tone on
; channel 1, so the pitch shows both the module's bytes and the rate of the calls.
;
;   CMC (a SAP TYPE C player): +0 and +3 commands, $70 the module's address in X (low)
;       and Y (high), $00 start; +6 plays one frame.
;   MPT: +0 commands, $00 the module's address in X (high) and Y (low), $02 start,
;       others ignored; +3 plays one frame.
;   TMC: +0 commands, $70 the module's address as for MPT, $60 start; +3 plays one
;       frame; +6, the in-between call of tunes played 2 to 4 times a frame, is counted.
;
; A full call plays the module byte plus 8 for every in-between call since the last
; full call, and writes 2 * AUDF + 1, one octave lower, to the second POKEY, which only
; a stereo machine has.

.include "pokey.inc"

.ifdef CMC
        LOAD = $70
        GO   = $00
.elseif .defined(MPT)
        LOAD = $00
        GO   = $02
.else
        LOAD = $70
        GO   = $60
.endif

.segment "HEADER"
        .word $FFFF, start, finish - 1

.segment "CODE"
start:  ENTRY command                   ; +0
.ifdef CMC
        ENTRY command                   ; +3
        ENTRY play                      ; +6
.else
        ENTRY play                      ; +3
        ENTRY between                   ; +6
.endif

command:
        cmp #LOAD
        bne @start
.ifdef CMC
        stx tune
        sty tune + 1
.else
        sty tune
        stx tune + 1
.endif
        lda #0
        sta playing
        rts
@start: cmp #GO
        bne @done
        RESET_POKEY 0
        RESET_POKEY RIGHT
        lda #0
        sta calls6
        START_TUNE
@done:  rts

between:
        inc calls6
        rts

play:   lda playing
        beq @quiet
        lda calls6
        asl a
        asl a
        asl a
        ldy row
        clc
        adc (tune),y
        sta AUDF1
        sec
        rol a
        sta AUDF1 + RIGHT
        lda #TONE
        sta AUDC1
        sta AUDC1 + RIGHT
        lda #0
        sta calls6
        NEXT_FRAME
@quiet: rts

finish:
