; A tiny tune in the shape of a Benjy Soundmonitor .COM module: loaded at $8000,
; its init routine at $8011 and its play routine at $8017. Both only log the call
; (see log.inc): init as entry 0, play as entry 3.

.include "log.inc"

.segment "CODE"

tune:   .byte "ORVEX TEST TUNE", 0, 0     ; $8000-$8010: the tune's data

init:   sta SAVED_A                     ; $8011
        lda #0
        beq log
play:   sta SAVED_A                     ; $8017
        lda #3
        bne log

log:    LOG_AND_RETURN

.assert init = $8011, error, "init must lie at $8011"
.assert play = $8017, error, "play must lie at $8017"
