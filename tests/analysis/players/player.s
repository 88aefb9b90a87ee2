; Test players, assembled with -D CMC, -D MPT or -D TMC, and -D SONG for the player of
; songs. The first plays the module's bytes one after another, one per second (50 full
; calls), as the AUDF value of a pure tone on channel 1, so the pitch shows both the
; module's bytes and the rate of the calls.
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
;
; The player of songs (CMC or TMC) plays the next step of the module at each full call:
; its four bytes go to AUDF1 and AUDC1 of the first POKEY and of the second. After the
; last step it goes back to the body's first step and leaves X holding the high byte of
; the body's address; nothing else touches X, so the whole machine repeats one pass of
; the body later than the sound does. The module: bytes 0-1 the offset of the body's
; first step from the module's start, bytes 2-3 that of the end, byte 31 the speed of a
; TMC module, the steps from byte 32.

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

step    = $F6               ; 2 bytes: the song's next step
last    = $F8               ; 2 bytes: the end of its steps

.segment "HEADER"
        .word $FFFF, start, finish - 1

.segment "CODE"
start:  ENTRY command                   ; +0
.ifdef CMC
        ENTRY command                   ; +3
        ENTRY play                      ; +6
.else
        ENTRY play                      ; +3
  .ifdef SONG
        ENTRY quiet                     ; +6
  .else
        ENTRY between                   ; +6
  .endif
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
.ifdef SONG
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
.else
        lda #0
        sta calls6
.endif
        START_TUNE
quiet:  rts

.ifdef SONG
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
.else
between:
        inc calls6
        rts

play:   lda playing
        beq quiet
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
        rts
.endif

finish:
