; Test player for .MPT modules. It plays the module's bytes one after another, one
; per second, each as the AUDF value of a pure tone on channel 1, so the pitch follows
; the module's bytes and the moment of each change shows the rate of the calls.
;
;   +0  command in A:  $00 module address in X (high) and Y (low)
;                      $02 start the tune (X = song position)
;                      $03 and $05 (digi samples) are accepted and ignored
;   +3  play one frame

.include "pokey.inc"

.segment "HEADER"
        .word $FFFF, start, finish - 1

.segment "CODE"
start:  ENTRY command                   ; +0
        ENTRY play                      ; +3

command:
        cmp #$00
        bne @start
        sty tune
        stx tune + 1
        lda #0
        sta playing
        rts
@start: cmp #$02
        bne @done
        RESET_POKEY 0
        START_TUNE
@done:  rts

play:   lda playing
        beq @quiet
        ldy row
        lda (tune),y
        sta AUDF1
        lda #TONE
        sta AUDC1
        NEXT_FRAME
@quiet: rts

finish:
