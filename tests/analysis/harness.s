; The frame of the CPU tests' programs, run both in sim65 and in the program's 6502:
; start-up at $8000, a dump after each instruction sequence at $8100, the last dump at
; $8180, and an RTS at $81F0 for the sequences' calls. Output goes through sim65's
; host call write() at $FFF7; exit() is at $FFF9.

sp      = $F8                   ; the host calls' parameter stack pointer
params  = $0380                 ; write()'s parameters: the buffer, the file
record  = $0300                 ; A, X, Y, P, S after a sequence, then sp as it was
first   = $0390                 ; S, P, A, X and Y at the start

.segment "START"                ; $8000
        ldx #0                  ; pages 0 and 1 from $0400 and $0500
copy:   lda $0400,x
        sta $00,x
        lda $0500,x
        sta $0100,x
        inx
        bne copy
        ldx first
        txs
        lda first+1
        pha
        lda first+2
        ldx first+3
        ldy first+4
        plp
        jmp $8200               ; the sequences

.segment "DUMP"                 ; $8100: after each sequence, jsr dump
dump:   sta record
        stx record+1
        sty record+2
        php
        pla
        sta record+3
        tsx
        inx                     ; S before this routine was called
        inx
        stx record+4
        lda sp
        sta record+5
        lda sp+1
        sta record+6
        ldx #$70                ; sim65's host calls take their return address from a
        lda record+4            ; stack that does not wrap: from $70, or $F0 when the
        bmi :+                  ; sequence's stack is below $80
        ldx #$F0
:       txs
        lda #$00                ; zero page and stack
        sta params
        sta params+1
        ldx #2
        jsr write
        lda #<record
        sta params
        lda #>record
        sta params+1
        lda #5
        ldx #0
        jsr write
        lda record+5
        sta sp
        lda record+6
        sta sp+1
        ldx record+4            ; the stack as the call left it
        dex
        dex
        txs
        lda record+3
        pha
        lda record
        ldx record+1
        ldy record+2
        plp
        rts

; write(1, params's buffer, A + 256 * X)
write:  pha
        lda #<params
        sta sp
        lda #>params
        sta sp+1
        lda #1
        sta params+2
        lda #0
        sta params+3
        pla
        jmp $FFF7

.segment "FINISH"               ; $8180: a last dump, the data the sequences may change,
        jsr dump                ; then exit(0)
        lda #$00
        sta params
        lda #$04
        sta params+1
        lda #$00
        ldx #$7C
        jsr write
        lda #$00
        sta params
        lda #$EA
        sta params+1
        lda #0
        ldx #1
        jsr write
        lda #0
        jmp $FFF9

.segment "RETURN"               ; $81F0
        rts
