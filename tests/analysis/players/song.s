; Test player of songs, assembled with -D CMC or -D TMC, with the entries of player.s. A
; full call plays the next step of the module: its four bytes go to AUDF1 and AUDC1 of
; the first POKEY and of the second, which only a stereo machine has. After the last
; step it goes back to the body's first step, and leaves X holding the high byte of the
; body's address; nothing else touches X, so the whole machine repeats one pass of the
; body later than the sound does.
;
; The module: bytes 0-1 the offset of the body's first step from the module's start,
; bytes 2-3 that of the end; byte 31 the speed of a TMC module; the steps from byte 32.

.include "pokey.inc"

.ifdef CMC
        LOAD = $70
        GO   = $00
.else
        LOAD = $70
        GO   = $60
.endif

step    = $F6               ; 2 bytes: the next step
last    = $F8               ; 2 bytes: the end of the steps

.segment "HEADER"
        .word $FFFF, start, finish - 1

.segment "CODE"
start:  ENTRY command                   ; +0
.ifdef CMC
        ENTRY command                   ; +3
        ENTRY play                      ; +6
.else
        ENTRY play                      ; +3
        ENTRY quiet                     ; +6: the in-between call does nothing
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
        bne quiet
        RESET_POKEY 0
        RESET_POKEY RIGHT
        ldy #2                  ; last = the module + the end's offset
        clc
        lda tune
        adc (tune),y
        sta last
        iny
        lda tune + 1
        adc (tune),y
        sta last + 1
        clc                     ; step = the module + 32
        lda tune
        adc #32
        sta step
        lda tune + 1
        adc #0
        sta step + 1
        lda #1
        sta playing
quiet:  rts

play:   lda playing
        beq quiet
        lda step
        cmp last
        bne @step
        lda step + 1
        cmp last + 1
        bne @step
        ldy #0                  ; the end: back to the body
        clc
        lda tune
        adc (tune),y
        sta step
        iny
        lda tune + 1
        adc (tune),y
        sta step + 1
        tax
@step:  ldy #0
        lda (step),y
        sta AUDF1
        iny
        lda (step),y
        sta AUDC1
        iny
        lda (step),y
        sta AUDF1 + RIGHT
        iny
        lda (step),y
        sta AUDC1 + RIGHT
        clc
        lda step
        adc #4
        sta step
        bcc quiet
        inc step + 1
        rts

finish:
