type
TRec=packed record A: Byte; end;
TUpper = PACKED RECORD B: byte; END;
TMixed = Packed Record C: WORD; End;
TNoEquals packed record D: Byte; end;
