TA = record X: Integer; end;
TB = record Y: Integer;