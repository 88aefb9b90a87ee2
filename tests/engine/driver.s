; Drives a SAP file's code under sim65 as a SAP player does, and logs every call that
; reaches the probe player or the probe .COM tune. The test puts this code at $9100
; beside the SAP file's segments, fills in the parameters and fills every other byte
; of memory with the jamming opcode $02. The probe's entries jump to the loggers at
; $9202, $9212 and $9222, addresses made of jamming opcodes too: a call that lands a
; byte off an entry ends the run at once.
;
; Each call is logged as five bytes on standard output: the entry (0, 3 or 6), A, X,
; Y and the frame (0 while INIT runs).

sp      = $F8                   ; the host calls' parameter stack pointer
stack   = $92F0                 ; and the parameters of write(): the record's address, fd

.segment "PARAMS"               ; $9100
type:   .res 1                  ; 'B', 'C' or 'D'
init:   .res 2
player: .res 2
music:  .res 2
frames: .res 1
preset: .res 1                  ; location $00 before INIT

.segment "CODE"                 ; $9110
        ldx #$FF
        txs
        lda player+1            ; the player's +3 and +6 entries, in its page
        sta entry3+1
        sta entry6+1
        lda player
        clc
        adc #3
        sta entry3
        adc #3
        sta entry6
        lda preset
        sta $00
        lda #0
        tax
        tay
        sta frame
        lda type
        cmp #'C'
        beq typeC
        lda #0                  ; INIT with the first song
        jsr callInit
        jmp play
typeC:  lda #$70                ; the module's address, then the first song
        ldx music
        ldy music+1
        jsr call3
        lda #0
        tax
        tay
        jsr call3
play:   inc frame
        lda type
        cmp #'C'
        beq :+
        jsr callPlayer
        jmp :++
:       jsr call6
:       lda frame
        cmp frames
        bne play
        lda #0
        jmp $FFF9               ; exit(0)

callInit:   jmp (init)
callPlayer: jmp (player)
call3:      jmp (entry3)
call6:      jmp (entry6)

log:    sta record              ; write(1, record, 5), then back to the probe's caller
        stx record+2            ; with A, X and Y as they came
        sty record+3
        lda frame
        sta record+4
        lda #<stack
        sta sp
        lda #>stack
        sta sp+1
        lda #<record
        sta stack
        lda #>record
        sta stack+1
        lda #1
        sta stack+2
        lda #0
        sta stack+3
        lda #5
        ldx #0
        jsr $FFF7
        ldx record+2
        ldy record+3
        lda record+1
        rts

.segment "LOGGERS"              ; $9202, $9212, $9222
        sta record+1
        lda #0
        jmp log
        .res 8
        sta record+1
        lda #3
        jmp log
        .res 8
        sta record+1
        lda #6
        jmp log

.segment "DATA"
entry3: .res 2
entry6: .res 2
frame:  .res 1
record: .res 5
