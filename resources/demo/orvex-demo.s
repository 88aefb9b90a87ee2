; "Orvex Demo": a short tune in the shape of a Benjy Soundmonitor .COM module, loaded
; at $8000 with its init routine at $8011 and its play routine at $8017, called 50
; times per second.
;
; Sixteen bars in A minor, eight steps (eighth notes) to a bar, six frames to a step,
; looping after 768 frames:
;   channel 1  lead, pure tone with a short decay
;   channel 2  bass: root, octave and fifth of each bar's chord
;   channel 3  drums: kick, snare and hi-hat from short register tables
; Channel 4 stays silent.

AUDF1   = $D200
AUDC1   = $D201
AUDF2   = $D202
AUDC2   = $D203
AUDF3   = $D204
AUDC3   = $D205
AUDF4   = $D206
AUDC4   = $D207
AUDCTL  = $D208
SKCTL   = $D20F

FRAMES_PER_STEP = 6
STEPS           = 128

PURE    = $A0           ; AUDC distortion bits: pure tone
HOLD    = $FE           ; step byte: the note goes on
REST    = $FF           ; step byte: silence

LEAD_ATTACK = 12
LEAD_FLOOR  = 6
BASS_ATTACK = 10
BASS_FLOOR  = 5

.zeropage
tick:       .res 1      ; frames left in the current step
step:       .res 1      ; 0 .. STEPS - 1
leadNote:   .res 1
leadVolume: .res 1
bassNote:   .res 1
bassVolume: .res 1
drumAt:     .res 1      ; offset in drumFrames of the next drum frame; 0 = no drum

.segment "HEADER"
        .word $FFFF, tune, tuneEnd - 1

.code
tune:   .byte "ORVEX DEMO TUNE", 0, 0   ; $8000-$8010

init:   jmp doInit                      ; $8011
stop:   jmp silence                     ; $8014
play:   jmp doPlay                      ; $8017

.assert init = $8011, error, "init must lie at $8011"
.assert play = $8017, error, "play must lie at $8017"

doInit: lda #3
        sta SKCTL
        jsr silence
        lda #0
        sta step
        sta tick
        sta leadVolume
        sta bassVolume
        sta drumAt
        rts

silence:
        lda #0
        sta AUDCTL
        sta AUDC1
        sta AUDC2
        sta AUDC3
        sta AUDC4
        rts

doPlay: lda tick
        bne @frame
        jsr nextStep
        lda #FRAMES_PER_STEP
        sta tick
@frame: dec tick
        jsr lead
        jsr bass
        jmp drum

; ---------------------------------------------------------------- sequencer

nextStep:
        ldx step
        lda melody,x
        cmp #HOLD
        beq @bass
        cmp #REST
        bne @note
        lda #0
        sta leadVolume
        beq @bass
@note:  sta leadNote
        lda #LEAD_ATTACK
        sta leadVolume

@bass:  txa                             ; bar = step / 8, position = step % 8
        lsr a
        lsr a
        lsr a
        tay
        txa
        and #7
        tax
        lda bassPattern,x
        cmp #HOLD
        beq @drum
        clc
        adc chordRoots,y
        sta bassNote
        lda #BASS_ATTACK
        sta bassVolume

@drum:  cpy #15                         ; the last bar plays a fill
        bne @beat
        lda fillPattern,x
        jmp @hit
@beat:  lda drumPattern,x
@hit:   beq @next
        sta drumAt

@next:  inc step
        lda step
        cmp #STEPS
        bne @done
        lda #0
        sta step
@done:  rts

; ---------------------------------------------------------------- voices

lead:   ldx leadNote
        lda notes,x
        sta AUDF1
        lda leadVolume
        ora #PURE
        sta AUDC1
        lda tick                        ; decay every other frame
        and #1
        bne @done
        lda leadVolume
        cmp #LEAD_FLOOR + 1
        bcc @done
        dec leadVolume
@done:  rts

bass:   ldx bassNote
        lda notes,x
        sta AUDF2
        lda bassVolume
        ora #PURE
        sta AUDC2
        cmp #PURE + BASS_FLOOR + 1
        bcc @done
        dec bassVolume
@done:  rts

drum:   ldx drumAt
        beq @done
        lda drumFrames,x
        beq @end
        sta AUDF3
        lda drumFrames + 1,x
        sta AUDC3
        inx
        inx
        stx drumAt
        rts
@end:   lda #0
        sta AUDC3
        sta drumAt
@done:  rts

; ---------------------------------------------------------------- data

.rodata

; AUDF values of pure tones at 64 kHz (PAL), C3 to C6
notes:  .byte 241, 228, 215, 203, 191, 180, 170, 161, 152, 143, 135, 127  ; C3 - B3
        .byte 120, 113, 107, 101,  95,  90,  85,  80,  75,  71,  67,  63  ; C4 - B4
        .byte  60,  56,  53,  50,  47,  44,  42,  39,  37,  35,  33,  31  ; C5 - B5
        .byte  29                                                         ; C6

C3 = 0
D3 = 2
E3 = 4
F3 = 5
G3 = 7
A3 = 9
F4 = 17
G4 = 19
Gs4 = 20
A4 = 21
B4 = 23
C5 = 24
D5 = 26
E5 = 28
F5 = 29
G5 = 31
Gs5 = 32
A5 = 33
B5 = 35

; The lead, one byte per step. A note lasting n steps is the note and n - 1 HOLDs.
.define N2(n) n, HOLD
.define N3(n) n, HOLD, HOLD
.define N4(n) n, HOLD, HOLD, HOLD

melody: .byte N2(A4),  N2(C5),  N3(E5),  D5             ;  1 Am
        .byte N2(C5),  N2(A4),  N3(F4),  G4             ;  2 F
        .byte N2(G4),  N2(C5),  N2(E5),  N2(G5)         ;  3 C
        .byte N3(F5),  E5,      N3(D5),  REST           ;  4 G
        .byte N2(E5),  N2(A5),  G5, E5,  N2(C5)         ;  5 Am
        .byte N2(A4),  N2(C5),  N3(F5),  E5             ;  6 F
        .byte N2(D5),  N2(B4),  N2(G4),  N2(B4)         ;  7 G
        .byte N3(E5),  D5,      N2(B4),  N2(Gs4)        ;  8 E
        .byte A4, C5,  N2(F5),  N3(A5),  G5             ;  9 F
        .byte N2(G5),  N2(D5),  N2(B4),  N2(D5)         ; 10 G
        .byte N2(E5),  N2(G5),  N3(B5),  A5             ; 11 Em
        .byte N4(A5),  N2(E5),  N2(C5)                  ; 12 Am
        .byte N2(D5),  N2(F5),  N2(A5),  N2(F5)         ; 13 Dm
        .byte N3(G5),  F5,      N2(E5),  N2(D5)         ; 14 G
        .byte N2(B4),  N2(E5),  N2(Gs5), N2(E5)         ; 15 E
        .byte N2(D5),  N2(C5),  N2(B4),  Gs4, REST      ; 16 E
.assert * - melody = STEPS, error, "the melody must fill 128 steps"

; The root of each bar's chord, in the bass octave
chordRoots:
        .byte A3, F3, C3, G3,  A3, F3, G3, E3
        .byte F3, G3, E3, A3,  D3, G3, E3, E3

; Semitones above the root, per step of a bar
bassPattern:
        .byte 0, HOLD, 12, 0, HOLD, 0, 12, 7

; Drums per step of a bar: offsets of their first frame in drumFrames (0: none)
KICK  = kickFrames - drumFrames
SNARE = snareFrames - drumFrames
HAT   = hatFrames - drumFrames
drumPattern:
        .byte KICK, HAT, SNARE, HAT, KICK, HAT, SNARE, HAT
fillPattern:
        .byte KICK, HAT, SNARE, HAT, SNARE, SNARE, SNARE, SNARE

; AUDF3 and AUDC3 per frame; AUDF 0 ends a drum
drumFrames:
        .byte 0                                                   ; no drum at offset 0
kickFrames:
        .byte 100, PURE | 15, 150, PURE | 12, 200, PURE | 8, 250, PURE | 4, 0
snareFrames:
        .byte 6, $8E, 6, $8A, 7, $86, 8, $83, 8, $81, 0
hatFrames:
        .byte 1, $86, 1, $83, 0

tuneEnd:
