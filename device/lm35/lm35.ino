/*
  lm35: Arduino Uno come termometro per Quorin e Quorind

  Legge la temperatura da un LM35 sul pin A0 e la manda al PC come fa il
  sensore: il byte 255 di sincronismo, poi il codice del campione, da 1 a
  254, sulla porta seriale a 9600 baud, 8 bit, nessuna parità, 1 bit di stop.

  L'LM35 dà 10 mV per ogni grado: 0 mV a 0 gradi, 1000 mV a 100 gradi.
  I programmi mostrano il codice 1 come 0.0 e il codice 254 come 100.0,
  quindi il valore mostrato è la temperatura in gradi Celsius.
  Sopra i 100 gradi si vede sempre 100.0.

  Collegamenti (LM35 visto dal lato piatto, piedini in basso):
    - piedino di sinistra (+Vs)  -> 5V dell'Arduino
    - piedino centrale (Vout)    -> A0 dell'Arduino
    - piedino di destra (GND)    -> GND dell'Arduino
  L'Arduino si collega al PC con il cavo USB, che lo alimenta.

  Questo sketch fa parte di Quorin (GPL-3.0-or-later).
*/

// Il pin su cui arriva la tensione dell'LM35.
const int PIN_SENSORE = A0;

// La velocità della linea seriale che i programmi si aspettano.
const long BAUD = 9600;

// Il byte che annuncia ogni campione. Nessun codice vale 255, così chi
// riceve riconosce sempre l'inizio di un campione.
const byte SINCRONISMO = 255;

// I codici vanno da 1 a 254: 0 non si usa e 255 è il sincronismo.
// Fra il primo e l'ultimo ci sono 254 - 1 = 253 passi.
const long CODICE_MINIMO = 1;
const long CODICE_MASSIMO = 254;
const long PASSI = 253;

// L'LM35 dà 10 mV per grado. Con il riferimento interno di 1,1 V,
// analogRead() divide 1100 mV, cioè 110 gradi, in 1024 passi: 100 gradi
// (1 V) leggono circa 931. Il riferimento più piccolo rende ogni passo
// 5 volte più fine che con quello di 5 V.
const long GRADI_RIFERIMENTO = 110;
const long PASSI_ADC = 1024;
const long GRADI_MASSIMI = 100;

// Ogni codice è la media di 8 letture: un valore fermo resta fermo.
// 8 letture durano meno di 1 ms, meno dei 2 ms che servono per spedire
// un campione (2 byte a 9600 baud), quindi la linea non resta mai ferma.
const int LETTURE = 8;

void setup() {
  analogReference(INTERNAL);
  // La prima lettura dopo il cambio di riferimento non è precisa: si scarta.
  analogRead(PIN_SENSORE);
  Serial.begin(BAUD);
}

void loop() {
  long somma = 0;
  for (int i = 0; i < LETTURE; i++) {
    somma = somma + analogRead(PIN_SENSORE);
  }

  // Da lettura a gradi, da gradi a codice, arrotondando:
  // codice = 1 + 253 * gradi / 100, con gradi = media * 110 / 1024,
  // fatto in una divisione sola per non perdere precisione per strada.
  long diviso = PASSI_ADC * LETTURE * GRADI_MASSIMI;
  long codice = CODICE_MINIMO
              + (somma * GRADI_RIFERIMENTO * PASSI + diviso / 2) / diviso;

  // Sopra i 100 gradi il codice resta 254: 255 è il sincronismo.
  if (codice > CODICE_MASSIMO) {
    codice = CODICE_MASSIMO;
  }

  // Serial.write() aspetta quando il buffer è pieno: i campioni escono
  // uno dopo l'altro, al ritmo della linea (circa 480 al secondo).
  Serial.write(SINCRONISMO);
  Serial.write((byte) codice);
}
