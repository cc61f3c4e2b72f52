type
  { A fuzzer finding: a CASE without OF is no variant part, and the fields after it go on from
    where the ones before it ended, even when a Min Length below 0 has taken them below 0. }
  TBroken = record
    A: Integer;
    case Kind: Integer;
    B: Integer;
  end;
