/*
  potenziometro: Arduino Uno come sensore per Quorin e Quorind

  Legge una tensione da 0 a 5 V sul pin A0 (un potenziometro, oppure una
  fotoresistenza in un partitore) e la manda al PC come fa il sensore:
  il byte 255 di sincronismo, poi il codice del campione, da 1 a 254,
  sulla porta seriale a 9600 baud, 8 bit, nessuna parità, 1 bit di stop.

  I programmi mostrano il codice 1 come 0,0 e il codice 254 come 100,0:
  0 V diventa 0,0, 5 V diventa 100,0, e in mezzo la crescita è lineare.

  Collegamenti (potenziometro da 10 kOhm):
    - piedino esterno del potenziometro -> 5V dell'Arduino
    - altro piedino esterno             -> GND dell'Arduino
    - piedino centrale (cursore)        -> A0 dell'Arduino
  L'Arduino si collega al PC con il cavo USB, che lo alimenta.

  Questo sketch fa parte di Quorin (GPL-3.0-or-later).
*/

// Il pin su cui arriva la tensione da misurare.
const int PIN_SENSORE = A0;

// La velocità della linea seriale che i programmi si aspettano.
const long BAUD = 9600;

// Il byte che annuncia ogni campione. Nessun codice vale 255, così chi
// riceve riconosce sempre l'inizio di un campione.
const byte SINCRONISMO = 255;

// I codici vanno da 1 a 254: 0 non si usa e 255 è il sincronismo.
// Fra il primo e l'ultimo ci sono 254 - 1 = 253 passi.
const long CODICE_MINIMO = 1;
const long PASSI = 253;

// analogRead() dà un numero da 0 (0 V) a 1023 (5 V).
const long LETTURA_MASSIMA = 1023;

// Ogni codice è la media di 8 letture: un valore fermo resta fermo.
// 8 letture durano meno di 1 ms, meno dei 2 ms che servono per spedire
// un campione (2 byte a 9600 baud), quindi la linea non resta mai ferma.
const int LETTURE = 8;

void setup() {
  Serial.begin(BAUD);
}

void loop() {
  long somma = 0;
  for (int i = 0; i < LETTURE; i++) {
    somma = somma + analogRead(PIN_SENSORE);
  }

  // Da 0..1023 (per ogni lettura) a 1..254, arrotondando al codice più vicino.
  long massimo = LETTURA_MASSIMA * LETTURE;
  long codice = CODICE_MINIMO + (somma * PASSI + massimo / 2) / massimo;

  // Serial.write() aspetta quando il buffer è pieno: i campioni escono
  // uno dopo l'altro, al ritmo della linea (circa 480 al secondo).
  Serial.write(SINCRONISMO);
  Serial.write((byte) codice);
}
