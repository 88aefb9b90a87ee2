; Test tunes whose lengths are known, in the shape of a Benjy Soundmonitor .COM module
; (INIT at $8011, PLAYER at $8017, called 50 times a second), assembled with one of:
;
;   -D INTRO_LOOP  100 frames of intro, then 150 frames over and over: the machine's
;                  state at frame 250 is that of frame 100
;   -D ENDS        198 frames of notes, then silence and nothing more
;   -D LONG        5 minutes (15000 frames) over and over, each call some 3000 cycles
;   -D HELD_COUNTER  100 frames of notes, then a note held for good, and a 24-bit
;                  count of the calls beside it that never repeats
;   -D RANDOM_NOTES  a note from RANDOM at each call: nothing repeats
;   -D RANDOM_LOOP INTRO_LOOP, reading RANDOM at each call into memory that the
;                  tune never reads again
;   -D HELD_TONE   one pure tone for good from INIT on, AUDF1 $1F at volume 15 on the
;                  64 kHz clock: 1,773,447 / 28 / (2 * ($1F + 1)) = 989.65 Hz; PLAYER
;                  changes nothing
;
; Each call ends with A, X and Y 0 and the same flags, so that the state at a call's
; start is the tune's own.

AUDF1   = $D200
AUDC1   = $D201
AUDCTL  = $D208
RANDOM  = $D20A
SKCTL   = $D20F

TONE    = $AA               ; pure tone, volume 10
HELD    = $20               ; HELD_COUNTER's last note

.zeropage
frame:  .res 2              ; the frame of the tune, as it goes round
count:  .res 3              ; COUNTER: the calls; RANDOM_LOOP: RANDOM

.segment "HEADER"
        .word $FFFF, tune, tuneEnd - 1

.code
tune:   .byte "ORVEX TEST TUNE", 0, 0   ; $8000-$8010
init:   jmp doInit                      ; $8011
        rts
        nop
        nop
play:   jmp doPlay                      ; $8017

.assert init = $8011, error, "init must lie at $8011"
.assert play = $8017, error, "play must lie at $8017"

.ifdef LONG
        FRAMES = 15000
        INTRO  = 0
.elseif .defined(ENDS)
        FRAMES = 199
        INTRO  = 0
.elseif .defined(HELD_COUNTER)
        COUNTER = 1
        FRAMES = 100
        INTRO  = 0
.else
        FRAMES = 250
        INTRO  = 100
.endif

doInit: lda #3
        sta SKCTL
.ifdef HELD_TONE
        lda #0
        sta AUDCTL
        lda #$1F
        sta AUDF1
        lda #$AF
        sta AUDC1
        rts
.endif
        lda #0
        sta AUDCTL
        sta AUDC1
        sta frame
        sta frame + 1
        sta count
        sta count + 1
        sta count + 2
        lda #TONE               ; frame 0's note, as the loop comes back to it
        sta AUDC1
        jmp done

doPlay:
.ifdef HELD_TONE
        rts
.endif
.ifdef RANDOM_LOOP
        lda RANDOM
        sta count
.endif
.ifdef RANDOM_NOTES
        lda RANDOM
        sta AUDF1
        lda #TONE
        sta AUDC1
        jmp done
.else
  .ifdef COUNTER
        inc count               ; 24 bits: it never wraps within the search
        bne :+
        inc count + 1
        bne :+
        inc count + 2
:
  .endif
  .ifdef LONG
        ldx #0                  ; some 3000 cycles
        ldy #2
        nop
:       dex
        bne :-
        dey
        bne :-
  .endif
        inc frame
        bne :+
        inc frame + 1
:       lda frame
        cmp #<FRAMES
        bne note
        lda frame + 1
        cmp #>FRAMES
        bne note
  .if .defined(ENDS) .or .defined(HELD_COUNTER)
    .ifdef ENDS
        lda #0                  ; the end: silence, and the frame stays
        sta AUDC1
    .else
        lda #HELD               ; a note held: the frame stays
        sta AUDF1
    .endif
        lda #<(FRAMES - 1)
        sta frame
        lda #>(FRAMES - 1)
        sta frame + 1
        jmp done
  .else
        lda #<INTRO
        sta frame
        lda #>INTRO
        sta frame + 1
  .endif
note:   lda frame
        sta AUDF1
        lda #TONE
        sta AUDC1
.endif

done:   lda #0                  ; the same registers after every call
        tax
        tay
        clc
        clv
        rts

tuneEnd:
