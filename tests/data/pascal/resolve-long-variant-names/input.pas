type
  { A fuzzer finding: a variant named by 63 characters of labels, with a variant part inside it.
    Every variant's name is cut at 63 characters, the nested one's too. }
  TLong = record
    case Integer of
      1000000, 1000001, 1000002, 1000003, 1000004, 1000005, 1000006, 1000007, 1000008: (
        A: Byte;
        case Boolean of
          True: (B: Word))
  end;
