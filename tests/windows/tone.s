; A test tune that holds one pure tone for good, in the shape of a Benjy Soundmonitor
; .COM module (INIT at $8011, PLAYER at $8017): channel 1 at AUDF1 $1F, AUDC1 $AF
; (pure tone, volume 15), AUDCTL 0, the 64 kHz clock. On a PAL machine its pitch is
; 1,773,447 / 28 / (2 * ($1F + 1)) = 989.65 Hz.

AUDF1   = $D200
AUDC1   = $D201
AUDCTL  = $D208
SKCTL   = $D20F

.segment "HEADER"
        .word $FFFF, tune, tuneEnd - 1

.code
tune:   .byte "ORVEX TEST TONE", 0, 0   ; $8000-$8010
init:   jmp doInit                      ; $8011
        rts
        nop
        nop
play:   rts                             ; $8017: nothing changes

.assert init = $8011, error, "init must lie at $8011"
.assert play = $8017, error, "play must lie at $8017"

doInit: lda #3
        sta SKCTL
        lda #0
        sta AUDCTL
        lda #$1F
        sta AUDF1
        lda #$AF
        sta AUDC1
        rts
tuneEnd:
