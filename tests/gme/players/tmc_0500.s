; Test player for .TMC and .TM8 modules. It plays the module's bytes one after
; another, one per second (50 full calls), on channel 1.
;
;   +0  command in A:  $70 module address in X (high) and Y (low)
;                      $60 start the tune
;   +3  play one frame (the full call, once per frame)
;   +6  the in-between call of tunes played 2 to 4 times per frame: only counted
;
; The full call plays the current module byte plus 8 for every in-between call since
; the previous full call, so both the module's bytes and the calling pattern show in
; the pitch: speed s sounds at AUDF = byte + 8 * (s - 1). The second POKEY (the right
; channel of a stereo machine) gets 2 * AUDF + 1, one octave lower; a mono machine
; ignores those writes.

.include "pokey.inc"

.segment "HEADER"
        .word $FFFF, start, finish - 1

.segment "CODE"
start:  ENTRY command                   ; +0
        ENTRY play                      ; +3
        ENTRY between                   ; +6

command:
        cmp #$70
        bne @start
        sty tune
        stx tune + 1
        lda #0
        sta playing
        rts
@start: cmp #$60
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
