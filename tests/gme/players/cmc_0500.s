; Test player for .CMC modules, driven as a SAP TYPE C player. It plays the module's
; bytes one after another, one per second, each as the AUDF value of a pure tone on
; channel 1, so the pitch follows the module's bytes and the moment of each change
; shows the rate of the calls.
;
;   +3  command in A:  $70 module address in X (low) and Y (high)
;                      $00 start song X
;   +6  play one frame
;   +0  the same as +3

.include "pokey.inc"

.segment "HEADER"
        .word $FFFF, start, finish - 1

.segment "CODE"
start:  ENTRY command                   ; +0
        ENTRY command                   ; +3
        ENTRY play                      ; +6

command:
        cmp #$70
        bne @start
        stx tune
        sty tune + 1
        lda #0
        sta playing
        rts
@start: cmp #$00
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
